lm=2
0 0
1 1
SCALE=0.5
LM=2
2 2
3 3
scale=2
