DOUBLE
ADD 2
ADD -nan
DEL -nan
ADD -inf
ADD inf
ADD -nan
