lm=2	name
1	2	3
4	5	6
lm=2
1 2 3
4 5 6