ID=before
lm=2 name
1 2
3 4
	Image=  IMAGE=C:\a b.jpg 
id=Chillán 
ID=second
Scale= 0.5
COMMENT=left
VARIABLES=a b
LM=2
5 6
7 8
IMAGE=b.jpg
