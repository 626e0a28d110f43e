vexocbc 1.0: cannot solve nonlinear problems (1 nonlinear objective)

Options
3
1
1
0
0
0
1
0
objno 0 500
