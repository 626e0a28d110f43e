# A command without its handler yet ends a batch session at its first
# error: display is reported with its place, solve is never reached.
param p;
display p; solve;
