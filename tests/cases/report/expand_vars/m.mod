# A variable's coefficients: objectives first, then constraints, decimal
# points aligned two columns after the widest row name; an unused
# variable; expand_precision rounding coefficients.
var x;
var y;
var unused;
minimize cost: 10*x + y;
subject to c: 2.5*x + y >= 1;
subject to longer_name: -100*x >= -50;
subject to p: 1.23456*y <= 7;
