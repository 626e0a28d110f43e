param r {i in 1..2} random;
param p;
redeclare set p;
set Q := p;
