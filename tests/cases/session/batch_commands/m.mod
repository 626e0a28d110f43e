# Commands after the model: the file -o names is written at the end
# because no command wrote one.
option presolve 0;
param k;
var x >= 0; var y >= 0 <= 4;
maximize p: 3*x + 2*y;
s.t. c1: x + y <= 4;
s.t. c2: x + 3*y <= k;
