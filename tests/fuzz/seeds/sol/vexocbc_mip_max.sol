vexocbc 1.0: optimal solution; objective 20

Options
3
1
1
0
2
0
2
2
4
0
objno 0 0
