LM=2
1 2
3 4
ID=
ID=x
LM=2
1 2
3 5
ID=y
