param p;
#line 20 "a.mod"
param q q;
# 7 "b.mod"
param r
  r;
