NAME          plain
ROWS
 G  R0001
 N  R0002
COLUMNS
    C0001     R0001      1
    C0001     R0002      1
    C0002     R0001      1
    C0002     R0002      0.333333333
    C0003     R0002      1
RHS
    B         R0001      1
RANGES
    RANGE     R0001      2
BOUNDS
 LO BOUND     C0001     -2
 UP BOUND     C0001      3
 LO BOUND     C0002      1
ENDATA
