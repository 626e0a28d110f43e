# Dense transportation as in transport.mod, with costs and supplies given
# as defaults so that let may change single values.  Nonzeros: 3 m n,
# objective included.
param m integer > 0;
param n integer > 0;
set O := 1..m;
set D := 1..n;
param cost {i in O, j in D} default 1 + (7 * i + 13 * j) mod 97;
param supply {i in O} default n * (2 + i mod 3);
param demand {j in D} := m;
var x {O, D} >= 0;
minimize total: sum {i in O, j in D} cost[i,j] * x[i,j];
s.t. ship {i in O}: sum {j in D} x[i,j] <= supply[i];
s.t. meet {j in D}: sum {i in O} x[i,j] >= demand[j];
