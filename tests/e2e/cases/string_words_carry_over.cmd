STRING
ADD hello world
ADD foo
