# Sparse network: arcs E in N x N, ten per node, computed in the model.
# Each row sums over a slice of E (the arcs out of i, the arcs into i).
# Nonzeros: 3 |E| (two rows and the objective per arc).
param N integer > 0;
set V := 1..N;
set E := setof {i in V, k in 1..10} (i, 1 + (i * k * 7919 + k * 104729) mod N);
param cost {(i,j) in E} := 1 + (i + 3 * j) mod 17;
var x {E} >= 0, <= 10;
minimize total: sum {(i,j) in E} cost[i,j] * x[i,j];
s.t. out {i in V}: sum {(i,j) in E} x[i,j] <= 10;
s.t. into {i in V}: sum {(j,i) in E} x[j,i] >= 1;
