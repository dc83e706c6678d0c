LM=3
1 2 3
4 5 6
IMAGE=x.png
SCALE=1e-3
LM=1
nan inf
IMAGE=y.png
