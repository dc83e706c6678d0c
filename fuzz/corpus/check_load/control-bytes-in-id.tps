LM=2
1 2
3 4
ID=a
LM=2
1 2
3 5
ID=a
