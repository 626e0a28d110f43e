# Read with its data and no commands, the model is written to the file
# -o names (foo.nl), silently.
option presolve 0;
param k;
var x >= 0; var y >= 0 <= 4;
maximize p: 3*x + 2*y;
s.t. c1: x + y <= 4;
s.t. c2: x + 3*y <= k;
