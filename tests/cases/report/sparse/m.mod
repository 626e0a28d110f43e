set I;
param a {I};
param b {I};
param c {I, I};
