# Rows as expand writes them: the objective first, then the constraints in
# declaration order, each with its relation; a range with its lower bound
# first, an equality, -1 as the first coefficient, an objective constant,
# symbolic subscripts, and a long row wrapped at display_width.
set S;
var x;
var y;
var z{S};
minimize o: x + y + 3;
subject to c: x + 2*y >= 3;
subject to r: 1 <= x - y <= 5;
subject to e: x + y = 4;
subject to n: -x + y <= 2;
subject to supply{s in S}: z[s] - 2.5*x <= 10;
subject to wide: sum{s in S} 1234.5*z[s] + 1111*x + 2222*y >= 1;
