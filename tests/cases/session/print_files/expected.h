x
0
