# Without -o and commands, a model with variables is not written.
var x >= 0; var y >= 0 <= 4;
maximize p: 3*x + 2*y;
s.t. c1: x + y <= 4;
