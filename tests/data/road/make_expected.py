# Computes the expected datasets for small.tps and pairs.txt straight from the
# raw coordinates (distances do not depend on the superimposition), written
# with C's %g like the program. Run: python3 make_expected.py
import math

def specimens(path):
    numbers, blocks = [], []
    for line in open(path):
        if line.lower().startswith("lm="):
            if numbers: blocks.append(numbers)
            numbers = []
        elif line[0] in "-0123456789":
            numbers += [float(v) for v in line.split()]
    blocks.append(numbers)
    return [[(b[2 * i], b[2 * i + 1]) for i in range(len(b) // 2)] for b in blocks]

def centroid_size(points):
    cx = sum(p[0] for p in points) / len(points)
    cy = sum(p[1] for p in points) / len(points)
    return math.sqrt(sum((x - cx) ** 2 + (y - cy) ** 2 for x, y in points))

pairs = [[int(v) for v in line.split()[1:3]] for line in open("pairs.txt")]
rows = []
for points in specimens("small.tps"):
    d = [math.dist(points[a - 1], points[b - 1]) for a, b in pairs]
    rows.append((d, centroid_size(points)))

def write(name, transform):
    with open(name, "w") as out:
        for d, size in rows:
            values = transform(d) + [size]
            out.write("".join("%g " % v for v in values) + " \n")

write("expected-lengths.txt", lambda d: d)
write("expected-log-lengths.txt", lambda d: [math.log(v) for v in d])
write("expected-constrained.txt", lambda d: [v / math.sqrt(sum(x * x for x in d)) for v in d])
