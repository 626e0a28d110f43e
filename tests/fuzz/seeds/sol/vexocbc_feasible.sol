vexocbc 1.0: feasible solution

Options
3
1
1
0
1
1
2
2
0
1
2
objno -1 0
