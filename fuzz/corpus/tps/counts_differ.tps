LM=2
1 2
3 4
LM=3
1 2 3 4 5 6
LM=1
nan inf
