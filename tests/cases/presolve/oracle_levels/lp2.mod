# e fixes v = 2 (dual 3); g and h bind at u = 4, w = 3 (duals 2 and 1).
var u >= 0 <= 10; var v >= 0 <= 10; var w >= 0 <= 10;
maximize p: 3*u + 8*v + w;
s.t. e: 2*v = 4;
s.t. g: u + v + w <= 9;
s.t. h: u - w <= 1;
