STRING
ADD pear
ADD apple banana
ADD Cherry
DEL pear
ADD apple
