# Rows with nonlinear parts and a piecewise-linear term; a variable used
# only nonlinearly in a row.
var x >= 0;
var y;
maximize f: x*y - y^2 + 3*x;
subject to q: x^2 + sin(y) <= 4;
subject to pl: <<1, 3; -1, 0.5, 2>> x + y >= 2;
