# A small nonlinear model: choose the dimensions of a closed cylindrical
# tank of given volume that needs the least sheet metal.
param volume > 0 := 10;
param pi := 4 * atan(1);

var radius >= 0.01, := 1;
var height >= 0.01, := 1;

minimize area: 2 * pi * radius^2 + 2 * pi * radius * height;

subject to holds: pi * radius^2 * height = volume;

# The same question as a least-squares fit of a curve through points.
set POINTS;
param x {POINTS};
param y {POINTS};

var a := 1;
var b := 0.1;

minimize misfit: sum {i in POINTS} (y[i] - a * exp(b * x[i]))^2;
