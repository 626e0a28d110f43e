vexocbc 1.0: infeasible problem

Options
3
1
1
0
1
0
2
0
objno 0 200
