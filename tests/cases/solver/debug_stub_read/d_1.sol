stored answer: not from a run

0.5
2
objno 0 0
