lm=0
IMAGE=C:\photos\C 1.jpg
ID=c1
  LM=0
IMAGE=C 2.jpg
