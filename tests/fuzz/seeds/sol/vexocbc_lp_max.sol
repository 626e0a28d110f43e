vexocbc 1.0: optimal solution; objective 21

Options
3
1
1
0
2
2
2
2
0.75
0.5
2.9999999999999996
1.5000000000000002
objno 0 0
