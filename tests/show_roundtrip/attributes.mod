# Operands of declaration phrases that read back only with parentheses:
# conditions used as numbers, and operands whose last part (the then- or
# else-part of an if, the member of a setof, the right operand of &) would
# take in the comparison or `in` of a phrase written after them.
param a;
param b;
param t symbolic;
set S = 1..3;
param f = 2, >= (a < b);
param g = 2, >= if a < b then 1 else 2, <= if a > b then 5;
param d default if a < b then 3;
param e default (a < b);
param h >= if a < b then 1 else 2, in S;
param k {i in S} = if i < 2 then (a < b) else (i > a);
param m {i in S} >= if i < 2 then i else (i > a), default 1;
param n in setof {i in S} i, >= 1;
param s symbolic = "x", != t & "b";
var x integer >= if a < b then 1 else 2, <= if a < b then 5 else 6,
  := (a < b);
var y >= if a < b then 1, in S;
var z >= (a < b) default if a < b then 4;
subject to c1 := (a < b): x >= 1;
subject to c2 default if a < b then 1: x <= if a < b then 9;
minimize o: a < b;
set T within if a < b then S else S = S;
set U within if a < b then S else {1}, default S;
set V = S, within setof {i in S} i;
set W = S, within S union setof {i in S} i, within S;
set X = S, within union {i in S} setof {j in S} j;
check: if a < b then 1;
check {i in S}: if a < b then i > 1 else i < 3;
