LM3=3 first
1 2 3
4 5 6
7 NA 9
ID=a
CURVES=1
POINTS=1
1 1 1
  lm3=4
1 2 3
4 5 6
7 8 9
1 1 1
IMAGE=b.jpg
lm3=2
1 2 3
4 5 6
SCALE=2
