# Dense transportation with a capacity row per arc: the rows are
# singletons, which presolve turns into bounds of the arcs, so every dual
# of them is recovered after the solve.  Costs, supplies, demands and
# capacities are computed in the model.  Nonzeros: 3 m n.
param m integer > 0;
param n integer > 0;
set O := 1..m;
set D := 1..n;
param cost {i in O, j in D} := 1 + (7 * i + 13 * j) mod 97;
param supply {i in O} := n * (2 + i mod 3);
param demand {j in D} := m;
param cap {i in O, j in D} := 1 + (i * j) mod 3;
var x {O, D} >= 0;
minimize total: sum {i in O, j in D} cost[i,j] * x[i,j];
s.t. ship {i in O}: sum {j in D} x[i,j] <= supply[i];
s.t. meet {j in D}: sum {i in O} x[i,j] >= demand[j];
s.t. arc {i in O, j in D}: x[i,j] <= cap[i,j];
