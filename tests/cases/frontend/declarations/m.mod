# Declarations with their phrases, in any order, and commands that use them.
set ITEMS ordered;
set PAIRS within {ITEMS, ITEMS} default {};
set STEPS circular by reversed ITEMS;
param n integer > 0 default 3;
param w {i in ITEMS} >= 0, <= 10 default 1;
param name {ITEMS} symbolic in {"a", "b", "c"};
var x {i in ITEMS} integer >= 0, <= w[i] := 1;
var y >= -1 <= 1;
maximize value: sum {i in ITEMS} w[i] * x[i] - y ^ 2;
subject to cap: sum {i in ITEMS} x[i] <= n;
subject to link {(i, j) in PAIRS: i != j}: x[i] + x[j] <= 1;
ratio {i in ITEMS}: 0 <= x[i] - y <= 5;
check {i in ITEMS}: w[i] <= 10;
suffix mark integer IN;
function hyp;
display {i in ITEMS: ord(i) > 1} x[i].ub, cap.dual, value;
let {i in ITEMS} x[i] := w[i] / 2;
