int
ADD 5
