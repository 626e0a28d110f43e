# -M prints the declarations and ends before compiling: the set without
# data is not missed.
set S;
param p {S} >= 0;
var x {S} >= 0;
minimize cost: sum {s in S} p[s] * x[s];
