# Facility location: F sites, C customers, every site may serve every
# customer; F binary columns and F C continuous ones, a linking row per
# pair.  Costs are computed in the model.
param F integer > 0;
param C integer > 0;
set S := 1..F;
set K := 1..C;
param fixed {f in S} := 100 + (37 * f) mod 50;
param cost {f in S, c in K} := 1 + (7 * f + 13 * c) mod 29;
var open {S} binary;
var y {S, K} >= 0;
minimize total: sum {f in S} fixed[f] * open[f]
  + sum {f in S, c in K} cost[f,c] * y[f,c];
s.t. serve {c in K}: sum {f in S} y[f,c] = 1;
s.t. link {f in S, c in K}: y[f,c] <= open[f];
