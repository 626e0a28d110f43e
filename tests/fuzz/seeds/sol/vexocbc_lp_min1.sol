vexocbc 1.0: optimal solution; objective 6

Options
3
1
1
0
1
1
1
1
3
2
objno 0 0
