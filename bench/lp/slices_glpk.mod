/* Sparse network (the same model as slices.mod). */
param N integer > 0;
set V := 1..N;
set E := setof {i in V, k in 1..10} (i, 1 + (i * k * 7919 + k * 104729) mod N);
param cost {(i,j) in E} := 1 + (i + 3 * j) mod 17;
var x {E} >= 0, <= 10;
minimize total: sum {(i,j) in E} cost[i,j] * x[i,j];
s.t. out {i in V}: sum {(i,j) in E} x[i,j] <= 10;
s.t. into {i in V}: sum {(j,i) in E} x[j,i] >= 1;
end;
