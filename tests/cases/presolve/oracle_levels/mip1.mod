# lp1 with y integer and c: 2y + z >= 7: y = 4, z = 0 (y = 3.5 without
# integrality); k rounds to the bound y <= 4.
var x >= 0; var y integer >= 0; var z >= 0;
minimize o: 3*x + 2*y + 4*z;
s.t. a: x >= 2;
s.t. b: x + y >= 5;
s.t. c: 2*y + z >= 7;
s.t. k: 2*y <= 9;
