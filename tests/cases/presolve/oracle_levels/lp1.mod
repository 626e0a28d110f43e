# a and d become bounds of x and z; at the optimum x = 2, y = 4, z = 0
# with a and c binding (duals 3 and 2), b and d slack.
var x >= 0; var y >= 0; var z >= 0;
minimize o: 3*x + 2*y + 4*z;
s.t. a: x >= 2;
s.t. b: x + y >= 5;
s.t. c: y + z >= 4;
s.t. d: z <= 10;
