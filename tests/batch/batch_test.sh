#!/usr/bin/env bash
# Runs distangler-batch as a user would and checks its files and exit codes.
# Usage: batch_test.sh BATCH_TOOL TEST_DATA_DIR [REAL_DATA_DIR]
set -u
tool=$(realpath "$1")
road=$(realpath "$2")/road
real=${3:-}
source "$(dirname "$0")/../check.sh"

# Relative paths, given from another folder than the data's.
cp "$road/small.tps" "$road/pairs.txt" "$work/"
(cd "$work" && "$tool" --tps small.tps --pairs pairs.txt --lengths l.txt --log-lengths ll.txt \
  --constrained c.txt --superimposed s.txt) >"$work/out" 2>&1
check "exit status 0 for a good run" test $? -eq 0
check "no output on success" test ! -s "$work/out"
check "lengths equal the expected file" cmp -s "$work/l.txt" "$road/expected-lengths.txt"
check "log lengths equal the expected file" cmp -s "$work/ll.txt" "$road/expected-log-lengths.txt"
check "constrained equal the expected file" cmp -s "$work/c.txt" "$road/expected-constrained.txt"
check "superimposed has one line of 9 values per specimen" \
  test "$(awk '{print NF}' "$work/s.txt" | sort -u)" = "9" -a "$(wc -l <"$work/s.txt")" -eq 4

# All five datasets of the bundled example, with its scale factors.
examples=$(realpath "$(dirname "$0")/../../examples")
"$tool" --tps-scale "$examples/sample.tps" --pairs "$examples/pairs.txt" \
  --triples "$examples/triples.txt" --lengths "$work/e-l.txt" --log-lengths "$work/e-ll.txt" \
  --constrained "$work/e-c.txt" --angles "$work/e-a.txt" --degrees "$work/e-d.txt"
check "the example runs" test $? -eq 0
for f in e-l e-ll e-c; do
  check "$f: 18 specimens of 8 distances and a size" \
    test "$(awk '{print NF}' "$work/$f.txt" | sort -u)" = "9" -a "$(wc -l <"$work/$f.txt")" -eq 18
done
for f in e-a e-d; do
  check "$f: 18 specimens of 5 angles" \
    test "$(awk '{print NF}' "$work/$f.txt" | sort -u)" = "5" -a "$(wc -l <"$work/$f.txt")" -eq 18
done
check "degrees are the radians times 180 / pi" awk '
  NR == FNR { for (i = 1; i <= NF; i++) r[FNR, i] = $i; next }
  { for (i = 1; i <= NF; i++) if ((r[FNR, i] * 180 / 3.141592653589793 - $i) ^ 2 > (1e-5 * $i) ^ 2) exit 1 }
' "$work/e-a.txt" "$work/e-d.txt"

# Distances without a pair list are refused before anything runs.
"$tool" --tps "$road/small.tps" --lengths "$work/x.txt" 2>"$work/err"
check "exit status 2 without --pairs" test $? -eq 2
check "message names --pairs" grep -q -- "need --pairs" "$work/err"
check "no file written without --pairs" test ! -e "$work/x.txt"
"$tool" --tps "$road/small.tps" --pairs "$road/pairs.txt" --lengths "" 2>"$work/err"
check "an empty output name is refused" test $? -ne 0
check "message names the option" grep -q -- "--lengths: an empty file name" "$work/err"

# An output that is one of the inputs, by any path, is refused before anything is written.
cp "$road/small.tps" "$work/in.tps"
cp "$road/pairs.txt" "$work/in-pairs.txt"
ln -sf in.tps "$work/in-link.tps"
for case in "--superimposed in.tps" "--superimposed-tps in.tps" "--consensus in.tps" \
  "--outliers in.tps" "--manifest in.tps" "--format csv --lengths in.tps" "--lengths in-pairs.txt" \
  "--superimposed-tps in-link.tps" "--lengths ./in.tps"; do
  (cd "$work" && "$tool" --tps in.tps --pairs in-pairs.txt --constrained other.txt $case) \
    2>"$work/err"
  check "$case: refused with status 2" test $? -eq 2
  check "$case: the input is unchanged" cmp -s "$work/in.tps" "$road/small.tps"
  check "$case: the pair list is unchanged" cmp -s "$work/in-pairs.txt" "$road/pairs.txt"
  check "$case: nothing else was written" test ! -e "$work/other.txt"
  check "$case: the message names both files" \
    grep -q 'is the --\(tps\|pairs\) file ".*/in\(-pairs\)\?\.\(tps\|txt\)"; an output never replaces an input' "$work/err"
done

# A malformed file: a message naming the specimen, a non-zero exit, the old output kept.
printf 'LM=2\n1 2\nNA NA\n' >"$work/bad.tps"
echo "previous results" >"$work/keep.txt"
"$tool" --tps "$work/bad.tps" --superimposed "$work/keep.txt" 2>"$work/err"
check "exit status 1 for a malformed file" test $? -eq 1
check "message names the specimen, the line and the option" \
  grep -q 'specimen 1 (line 1): "NA" on line 3 marks a missing landmark; load with --missing' "$work/err"
check "existing output left untouched" grep -q "previous results" "$work/keep.txt"

# Several files are one sample; --missing keeps the NA specimen, but not as the only one.
cat "$road/small.tps" "$road/small.tps" >"$work/double.tps"
"$tool" --tps "$road/small.tps" "$road/small.tps" --pairs "$road/pairs.txt" --lengths "$work/two.txt" &&
  "$tool" --tps "$work/double.tps" --pairs "$road/pairs.txt" --lengths "$work/double.txt"
check "two files equal their concatenation" cmp -s "$work/two.txt" "$work/double.txt"
"$tool" --tps "$work/bad.tps" --missing --superimposed "$work/keep.txt" 2>"$work/err"
check "an only specimen with a missing landmark cannot be superimposed" \
  grep -q "The only specimen loaded from bad.tps misses landmarks" "$work/err"
"$tool" --tps "$work/bad.tps" --missing-code none 2>"$work/err"
check "a bad missing-value code is refused" test $? -ne 0
check "message names the code" grep -q '"none" is neither a number nor "negative"' "$work/err"

# --check: 0 clean, 1 failing, 3 with warnings; the worst of several files.
"$tool" --check "$road/small.tps" >"$work/out"
check "a clean file checks with status 0" test $? -eq 0
"$tool" --check "$road/small.tps" "$work/bad.tps" >"$work/out"
check "a file that fails to load checks with status 1" test $? -eq 1
check "the report gives the reader's error" grep -q '"NA" on line 3 marks a missing landmark' "$work/out"
printf 'LM=2\n0 0\n1 0\nLM=3\n0 0\n2 0\n9 9\n' >"$work/mixed.tps"
"$tool" --check --json "$work/mixed.tps" >"$work/out"
check "a file with warnings checks with status 3" test $? -eq 3
check "the JSON report carries the status" python3 -c '
import json, sys
report = json.load(open(sys.argv[1]))
sys.exit(report["status"] != 3 or len(report["files"]) != 1)' "$work/out"

# Every pair of landmarks, saved as a list that --pairs reads back to the same distances.
"$tool" --tps "$road/small.tps" --all-pairs --write-pairs "$work/all.txt" --lengths "$work/all-l.txt"
check "--all-pairs runs" test $? -eq 0
check "--write-pairs saves the 6 pairs of 4 landmarks" \
  test "$(cat "$work/all.txt")" = "$(printf '1 1 2\n2 1 3\n3 1 4\n4 2 3\n5 2 4\n6 3 4')"
"$tool" --tps "$road/small.tps" --pairs "$work/all.txt" --lengths "$work/all-l2.txt"
check "the saved list gives the same distances" cmp -s "$work/all-l.txt" "$work/all-l2.txt"
"$tool" --tps "$road/small.tps" --all-pairs --pairs "$road/pairs.txt" 2>"$work/err"
check "--all-pairs with --pairs is refused with status 2" test $? -eq 2
check "message names both options" \
  grep -qx "distangler-batch: --all-pairs and --pairs both give the pair list; use one." "$work/err"
"$tool" --tps "$road/small.tps" --write-pairs "$work/none.txt" 2>"$work/err"
check "--write-pairs without a pair list is refused with status 2" test $? -eq 2
check "no pair list written without one" test ! -e "$work/none.txt"
# Tables: --format applies to every dataset written; plain is the format of old.
"$tool" --tps "$road/small.tps" --pairs "$road/pairs.txt" --format plain --lengths "$work/p.txt"
check "--format plain writes the plain dataset" cmp -s "$work/p.txt" "$road/expected-lengths.txt"
printf 'LM=4\n10 20\n14.5 21.25\nNA NA\n9.25 24.5\n' >"$work/na.tps"
"$tool" --tps "$road/small.tps" "$work/na.tps" --missing --pairs "$road/pairs.txt" --format csv \
  --lengths "$work/t.csv" --superimposed "$work/s.csv" 2>"$work/err"
check "a CSV table of two files names them" test "$(head -1 "$work/t.csv")" = \
  "specimen,id,image,file,d1_2,d1_3,d2_4,d3_4,d1_4,centroid_size"
check "the superimposed CSV names the coordinates" test "$(head -1 "$work/s.csv")" = \
  "specimen,id,image,file,x1,y1,x2,y2,x3,y3,x4,y4,centroid_size"
check "one warning per table about NA values" test "$(grep -c 'written as NA' "$work/err")" -eq 2
check "the warning gives the count and the first value" grep -qxF "Warning: \"$work/t.csv\": 3 \
values are not finite and are written as NA; the first is specimen 5, column d1_3." "$work/err"
"$tool" --tps "$road/small.tps" --format xlsx 2>"$work/err"
check "an unknown format is refused" grep -q -- "--format: xlsx not in {plain,csv,tsv}" "$work/err"

# Superimposed TPS: read back and superimposed again, the same coordinates within 1e-12.
"$tool" --tps-scale "$examples/sample.tps" --superimposed "$work/s1.txt" \
  --superimposed-tps "$work/s.tps" --consensus "$work/c.TPS" &&
  "$tool" --tps "$work/s.tps" --superimposed "$work/s2.txt"
check "the superimposed TPS file loads back" test $? -eq 0
check "the TPS file has 18 specimens and no SCALE=" \
  test "$(grep -c '^LM=10$' "$work/s.tps")" -eq 18 -a "$(grep -c SCALE= "$work/s.tps")" -eq 0
check "superimposed again within 1e-12" awk '
  NR == FNR { for (i = 1; i < NF; i++) a[FNR, i] = $i; next }
  { for (i = 1; i < NF; i++) if ((a[FNR, i] - $i) ^ 2 > 1e-24) exit 1 }
' "$work/s1.txt" "$work/s2.txt"
check "a .TPS consensus is one TPS specimen" \
  test "$(sed -n '1p;$p' "$work/c.TPS" | tr '\n' ' ')" = "LM=10 ID=consensus "
"$tool" --tps "$road/small.tps" --format csv --consensus "$work/c.csv" --superimposed-tps "$work/r.tps"
check "a CSV consensus is a table of one row" test "$(cut -d, -f1-4,12 "$work/c.csv")" = \
  "$(printf 'specimen,id,image,x1,centroid_size\n1,consensus,,-0.23162330257426134,6.80508622728915')"
check "IMAGE= and ID= are written as read" \
  test "$(sed -n 6,7p "$work/r.tps" | tr '\n' ' ')" = "IMAGE=a.jpg ID=1 "
"$tool" --matrix "$work/s1.txt" --consensus "$work/m.txt" 2>"$work/err"
check "--consensus of a matrix is refused with status 2" test $? -eq 2 -a ! -e "$work/m.txt"
check "message says a matrix has no consensus" grep -qxF "distangler-batch: --consensus needs a \
TPS sample (--tps or --tps-scale); a --matrix input is taken as it is and has no consensus." "$work/err"

# --manifest: what the run read and wrote, with digests; a failed run's error and no outputs.
"$tool" --tps "$road/small.tps" "$work/na.tps" --missing --pairs "$road/pairs.txt" --format csv \
  --lengths "$work/m.csv" --manifest "$work/m.json" 2>"$work/err"
check "a run with a manifest exits 0" test $? -eq 0
check "the manifest records inputs, lists, counts, warnings and outputs" python3 -c '
import json, sys
m = json.load(open(sys.argv[1]))
ok = list(m) == ["version", "command_line", "inputs", "pairs", "triples", "options", "counts",
                 "warnings", "outputs", "error"]
ok &= m["inputs"][0] == {"role": "sample", "path": sys.argv[3], "size": 218, "sha256": sys.argv[4]}
ok &= [i["role"] for i in m["inputs"]] == ["sample", "sample", "pairs"]
ok &= m["pairs"][0] == [1, 1, 2] and len(m["pairs"]) == 5 and m["triples"] == []
ok &= m["options"]["format"] == "csv" and m["options"]["missing"] is True
ok &= m["counts"] == {"specimens": 5, "landmarks": 4, "consensus_passes": m["counts"]["consensus_passes"],
                      "incomplete_specimens": 1}
ok &= ["Warning: " + w + "\n" for w in m["warnings"]] == open(sys.argv[6]).readlines()
ok &= len(m["warnings"]) == 2 and m["warnings"][1].endswith("specimen 5, column d1_3.")
ok &= m["outputs"] == [{"path": sys.argv[2], "rows": 5, "sha256": sys.argv[5]}]
ok &= m["error"] is None and m["command_line"][-1] == sys.argv[1]
sys.exit(not ok)' "$work/m.json" "$work/m.csv" "$(realpath "$road/small.tps")" \
  "$(sha256sum <"$road/small.tps" | cut -d" " -f1)" "$(sha256sum <"$work/m.csv" | cut -d" " -f1)" "$work/err"
"$tool" --tps "$work/bad.tps" --superimposed "$work/keep.txt" --manifest "$work/bad.json" 2>"$work/err"
check "a failed run with a manifest still exits 1" test $? -eq 1
check "its manifest has the error and no outputs" python3 -c '
import json, sys
m = json.load(open(sys.argv[1]))
error = open(sys.argv[2]).read().removeprefix("distangler-batch: ").rstrip("\n")
sys.exit(not (m["error"] == error and m["outputs"] == [] and m["counts"]["specimens"] == 0))' \
  "$work/bad.json" "$work/err"
"$tool" --check "$road/small.tps" --manifest "$work/check.json" 2>"$work/err"
check "--manifest with --check is refused with status 2" test $? -eq 2
check "message says why" grep -qxF \
  "distangler-batch: --manifest describes a run; --check runs nothing." "$work/err"

# An edits log beside a TPS input is named in the manifest; a broken one only warns.
cp "$road/small.tps" "$work/edited.tps"
printf 'specimen,id,landmark,old_x,old_y,new_x,new_y,time\n1,1,2,14.0,21.0,14.5,21.25,t\n' \
  >"$work/edited.edits.csv"
"$tool" --tps "$work/edited.tps" --manifest "$work/e.json" 2>"$work/err"
check "a run with an edits log beside its input exits 0" test $? -eq 0 -a ! -s "$work/err"
check "its manifest holds the log's rows" python3 -c '
import json, sys
e = json.load(open(sys.argv[1]))["inputs"][0]["edits"]
sys.exit(e != {"log": "edited.edits.csv", "rows": [{"specimen": 1, "id": "1", "landmark": 2,
  "old": [14, 21], "new": [14.5, 21.25], "time": "t"}]})' "$work/e.json"
printf 'specimen,id,landmark,old_x,old_y,new_x,new_y,time\n1,1,2,x,21.0,14.5,21.25,t\n' \
  >"$work/edited.edits.csv"
"$tool" --tps "$work/edited.tps" --manifest "$work/e.json" 2>"$work/err"
check "a log that cannot be parsed is a warning naming it and its line" grep -qxF \
  "Warning: The edits log \"$work/edited.edits.csv\", line 2: \"x\" is not a coordinate; it is \
left out of the manifest." "$work/err"
check "the manifest then has no edits" python3 -c '
import json, sys
sys.exit("edits" in json.load(open(sys.argv[1]))["inputs"][0])' "$work/e.json"

# --outliers: a row per specimen; a swap of two landmarks is found, told and in the manifest.
awk 'BEGIN { srand(5); for (s = 1; s <= 20; s++) { print "LM=6"
  for (j = 0; j < 6; j++) { k = (s == 5 && j == 1) ? 2 : (s == 5 && j == 2) ? 1 : j
    printf "%.4f %.4f\n", 10 * cos(k) + k + rand() * 0.2, 10 * sin(k) + rand() * 0.2 }
  print "ID=w" s } }' >"$work/swap.tps"
"$tool" --tps "$work/swap.tps" --outliers "$work/o.csv" --format csv --manifest "$work/o.json" \
  >"$work/out" 2>"$work/err"
check "--outliers runs" test $? -eq 0 -a ! -s "$work/err"
check "the outlier table's header" test "$(head -1 "$work/o.csv")" = \
  "specimen,id,image,distance,incomplete,rank,flagged,worst_landmark,worst_share,swap_first,swap_second,distance_after_swap,mirrored"
check "specimen 5 is flagged, ranked first, with landmarks 2 and 3 swapped" \
  test "$(awk -F, '$7 == "TRUE" { print $1, $2, $6, $10, $11 }' "$work/o.csv")" = "5 w5 1 2 3"
check "the report states the rule and the swap" grep -q \
  "^specimen 5 (ID=w5): Procrustes distance .* is above the threshold .* (Q3 + 1.5 IQR); landmarks 2 and 3 look swapped: distance .* -> " "$work/out"
check "the outlier table and the screen's superimposition are in the manifest" python3 -c '
import json, sys
m = json.load(open(sys.argv[1]))
sys.exit(m["outputs"] != [{"path": sys.argv[2], "rows": 20, "sha256": sys.argv[3]}]
         or m["options"]["outliers"] != "on the converged superimposition")' \
  "$work/o.json" "$work/o.csv" "$(sha256sum <"$work/o.csv" | cut -d" " -f1)"
"$tool" --matrix "$work/s1.txt" --outliers "$work/m.txt" 2>"$work/err"
check "--outliers of a matrix is refused with status 2" test $? -eq 2 -a ! -e "$work/m.txt"
check "message names --outliers" grep -qxF "distangler-batch: --outliers needs a \
TPS sample (--tps or --tps-scale); a --matrix input is taken as it is and has no consensus." "$work/err"
"$tool" --tps "$work/swap.tps" --repeatability "$work/r.csv" 2>"$work/err"
check "--repeatability without --replicates is refused with status 2" \
  test $? -eq 2 -a ! -e "$work/r.csv"
check "message names --replicates" grep -qxF "distangler-batch: --repeatability and \
--replicate-distances need --replicates, which is of use only with one of them." "$work/err"

# Every thread count writes the same bytes and says the same: a generated sample
# of many blocks (two specimens miss a landmark, so tables hold NA), and each
# real file. The runs of one input are compared with its one-thread run.
same_for_threads() {  # NAME TRIPLES INPUT-OPTIONS...
  local name=$1 triples=$2 t f differ=0
  shift 2
  for t in 1 2 3; do
    for format in plain csv; do
      # One folder for every run, so the messages name the same paths.
      mkdir "$work/run"
      (cd "$work/run" && "$tool" --threads $t --format $format "$@" --all-pairs \
        --triples "$triples" --lengths l --log-lengths ll --constrained c --angles a --degrees d \
        --superimposed s --consensus k --outliers o >out 2>&1
        echo $? >status)
      mv "$work/run" "$work/t$t-$format"
    done
  done
  for t in 2 3; do
    for format in plain csv; do
      for f in "$work/t1-$format"/*; do
        cmp -s "$f" "$work/t$t-$format/${f##*/}" || { echo "  $name: $format ${f##*/} differs with $t threads"; differ=1; }
      done
    done
  done
  check "$name: the same outputs and messages with 1, 2 and 3 threads" test $differ -eq 0
  rm -rf "$work"/t[123]-*
}
awk 'BEGIN { srand(7); for (s = 1; s <= 30000; s++) {
  print "LM=10"; a = rand() * 6.283; r = 50 + rand() * 50
  for (j = 0; j < 10; j++) {
    if ((s == 20001 || s == 25001) && j == 2) { print "NA NA"; continue }
    printf "%.5f %.5f\n", 100 + r * cos(a + j * 0.628) + rand(), 200 + r * sin(a + j * 0.628) + rand()
  }
  print "ID=" s } }' >"$work/generated.tps"
printf '1 1 2 3\n2 4 5 6\n3 10 1 7\n' >"$work/triples.txt"
same_for_threads "30000 x 10 generated" "$work/triples.txt" --tps "$work/generated.tps" --missing
check "the generated tables warn of their NA values" grep -q "the first is specimen 20001" \
  <("$tool" --tps "$work/generated.tps" --missing --all-pairs --format csv --lengths "$work/g.csv" 2>&1)
if [[ -n "$real" && -d "$real" ]]; then
  printf '1 1 2 3\n' >"$work/triple.txt"
  for f in "$real"/*.tps "$real"/*.TPS; do
    [[ -e "$f" ]] && same_for_threads "${f##*/}" "$work/triple.txt" --tps "$f" --missing
  done
fi
"$tool" --tps "$road/small.tps" --threads 0 2>"$work/err"
check "--threads 0 is refused and named" test $? -ne 0 -a "$(head -1 "$work/err")" = \
  '--threads: the thread count must be a whole number from 1 to 256, not "0"'

# 3-D samples: LM3= read as x y z without being asked, LM= with --dimensions 3.
awk 'BEGIN { srand(3); for (s = 1; s <= 12; s++) { print "LM3=5"
  for (j = 0; j < 5; j++) printf "%.4f %.4f %.4f\n", 10 * cos(j) + rand(), 10 * sin(j) + rand(), j * j + rand()
  print "ID=s" s } }' >"$work/solid.tps"
printf '1 1 2 3\n2 5 4 1\n' >"$work/triples3.txt"
"$tool" --tps "$work/solid.tps" --all-pairs --triples "$work/triples3.txt" --format csv \
  --lengths "$work/sl.csv" --angles "$work/sa.csv" --superimposed "$work/ss.csv" \
  --superimposed-tps "$work/ss.tps" --manifest "$work/sm.json" 2>"$work/err"
check "an LM3= file runs as 3-D" test $? -eq 0
# Distances at each specimen's own size and angles are those of the raw coordinates.
raw3d() {
  python3 -c '
import csv, json, math, sys
tps, lengths, angles, manifest, tol = sys.argv[1:6]
rows, row = [], []
for line in open(tps, newline=""):
    if line.strip().lower().startswith("lm"):
        if row: rows.append(row)
        row = []
    elif not line.strip().lower().startswith("id="):
        row += [float(v) for v in line.split()]
rows.append(row)
pt = lambda r, a: r[3 * a - 3:3 * a]
worst = 0
for r, out in zip(rows, csv.DictReader(open(lengths))):
    for name, v in out.items():
        if name.startswith("d"):
            a, b = map(int, name[1:].split("_"))
            want = math.dist(pt(r, a), pt(r, b))
            worst = max(worst, abs(float(v) - want) / want)
if angles != "-":
    for r, out in zip(rows, csv.DictReader(open(angles))):
        for name, v in out.items():
            if name.startswith("angle"):
                a, o, b = map(int, name[5:].split("_"))
                u = [p - q for p, q in zip(pt(r, a), pt(r, o))]
                w = [p - q for p, q in zip(pt(r, b), pt(r, o))]
                c = [u[1]*w[2]-u[2]*w[1], u[2]*w[0]-u[0]*w[2], u[0]*w[1]-u[1]*w[0]]
                want = math.atan2(math.hypot(*c), sum(p * q for p, q in zip(u, w)))
                worst = max(worst, abs(float(v) - want) / want)
counts = json.load(open(manifest))["counts"]
sys.exit(not (worst < float(tol) and counts["dimensions"] == 3 and counts["specimens"] == len(rows)))
' "$@"
}
check "3-D distances and angles are those of the raw coordinates" \
  raw3d "$work/solid.tps" "$work/sl.csv" "$work/sa.csv" "$work/sm.json" 1e-9
check "3-D tables name x y z columns" grep -q "^specimen,id,image,x1,y1,z1,x2," "$work/ss.csv"
check "3-D samples are written with LM3=" test "$(grep -c '^LM3=5$' "$work/ss.tps")" -eq 12
sed 's/^LM3=/LM=/' "$work/solid.tps" >"$work/solid-lm.tps"
"$tool" --tps "$work/solid-lm.tps" --dimensions 3 --all-pairs --triples "$work/triples3.txt" \
  --format csv --lengths "$work/sl2.csv" --angles "$work/sa2.csv" 2>"$work/err"
check "LM= with --dimensions 3 gives the same distances" cmp -s "$work/sl.csv" "$work/sl2.csv"
check "LM= with --dimensions 3 gives the same angles" cmp -s "$work/sa.csv" "$work/sa2.csv"
"$tool" --tps "$work/solid-lm.tps" --all-pairs --lengths "$work/x.txt" 2>"$work/err"
check "LM= x y z lines are refused in 2-D" grep -q "announces 10 (x and y of each landmark); it may be 3-D data." "$work/err"
printf '0 0 0 1 0 0 1 1\n0 0 1 0 2 0 1 1\n' >"$work/m3.txt"
"$tool" --matrix "$work/m3.txt" --dimensions 3 --all-pairs --lengths "$work/x.txt" 2>"$work/err"
check "a matrix of 8 columns is no 3-D sample" grep -q "has 8 columns where a 3-D sample of k landmarks has 3k + 1" "$work/err"
printf 'LM3=4\n0 0 0\n1 0 0\n0 1 0\n0 0 1\nLM3=4\n0 0 0\n2 0 0\n0 2 0\n0 0 2.2\nLM3=4\n0 0 0\n3 4 0\n0 0 7\nNA NA NA\n' >"$work/gap3.tps"
printf '1 1 2\n2 1 4\n' >"$work/gap3-pairs.txt"
"$tool" --tps "$work/gap3.tps" --missing --pairs "$work/gap3-pairs.txt" --lengths "$work/x.txt"
check "a 3-D specimen missing a landmark keeps its distances as read" test "$(sed -n 3p "$work/x.txt" | cut -d' ' -f1-2)" = "5 NaN"
"$tool" --tps "$work/solid.tps" --dimensions 4 2>"$work/err"
check "--dimensions takes 2 or 3" test $? -ne 0 -a "$(head -1 "$work/err")" = "--dimensions: 4 not in {2,3}"
phacops="$real/trilobite-phacops-144spec-lm21-3D-tabs-crlf.tps"
if [[ -n "$real" && -e "$phacops" ]]; then
  "$tool" --tps "$phacops" --dimensions 3 --all-pairs --format csv --lengths "$work/pl.csv" \
    --manifest "$work/pm.json" 2>"$work/err"
  check "the Phacops sample's distances are those of its raw coordinates" \
    raw3d "$phacops" "$work/pl.csv" - "$work/pm.json" 1e-9
fi

# --specimen-plots (built with Qt): a PNG per specimen on its photo, found by
# its file name beside the TPS file, in any letter case or in --images, and a
# contact sheet sorted by the outlier distance.
if "$tool" --help | grep -q -- --specimen-plots; then
  mkdir -p "$work/photos/far"
  python3 -c '
import struct, sys, zlib
def png(path, w, h):
    rows = b"".join(b"\0" + b"\x80" * (3 * w) for _ in range(h))
    chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                           + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
for name in sys.argv[1:]: png(name, 60, 40)' "$work/photos/p1.png" "$work/photos/P2.png" \
    "$work/photos/far/p4.png"
  awk 'BEGIN { srand(5); for (s = 1; s <= 12; s++) { print "LM=6"
    for (j = 0; j < 6; j++) { k = (s == 4 && j == 1) ? 2 : (s == 4 && j == 2) ? 1 : j
      printf "%.3f %.3f\n", 30 + 10 * cos(k) + k + rand() * 0.2, 20 + 10 * sin(k) + rand() * 0.2 }
    if (s == 1) print "IMAGE=C:\\Users\\someone\\p1.png"
    if (s == 2) print "IMAGE=p2.png"
    if (s == 3) print "IMAGE=missing.jpg"
    if (s == 4) print "IMAGE=D:\\scans\\p4.png"
    print (s == 2 ? "ID=a<&\"b" : "ID=w" s) } }' >"$work/photos/sample.tps"
  "$tool" --tps "$work/photos/sample.tps" --images "$work/photos/far" --pairs "$road/pairs.txt" \
    --specimen-plots "$work/plots" --outliers "$work/plots-o.csv" --format csv \
    --manifest "$work/plots.json" >/dev/null 2>"$work/err"
  check "--specimen-plots runs" test $? -eq 0 -a ! -s "$work/err"
  check "one PNG per specimen and the sheet, named by number and ID" test \
    "$(cd "$work/plots" && ls | tr '\n' ' ')" = "01-w1.png 02-a_b.png 03-w3.png 04-w4.png \
05-w5.png 06-w6.png 07-w7.png 08-w8.png 09-w9.png 10-w10.png 11-w11.png 12-w12.png index.html "
  check "the sheet, sorted by distance, escapes and names what it lacks; the manifest lists all" python3 -c '
import csv, json, os, re, struct, sys
plots, table, manifest = sys.argv[1:4]
page = open(plots + "/index.html").read()
rows = sorted(csv.DictReader(open(table)), key=lambda r: -float(r["distance"]))
shown = re.findall(r"<a href=\"(\d+)-", page)
ok = [int(n) for n in shown] == [int(r["specimen"]) for r in rows]
ok &= "ID=a&lt;&amp;&quot;b" in page and "<script" not in page and "http" not in page
ok &= page.count("image not found") == 1 and "image not found: missing.jpg" in page
ok &= "landmarks 2 and 3 look swapped" in page
width = lambda name: struct.unpack(">I", open(plots + "/" + name, "rb").read()[16:20])[0]
ok &= [width(n) > 1000 for n in ("01-w1.png", "02-a_b.png", "03-w3.png", "04-w4.png", "05-w5.png")] \
    == [True, True, False, True, False]
outputs = [o["path"] for o in json.load(open(manifest))["outputs"]]
ok &= outputs[1:] == [plots + "/" + n for n in sorted(os.listdir(plots))]
sys.exit(not ok)' "$work/plots" "$work/plots-o.csv" "$work/plots.json"
  "$tool" --tps "$work/photos/sample.tps" --images "$work/photos" 2>"$work/err"
  check "--images without --specimen-plots is refused with status 2" test $? -eq 2
  lizard="$real/lizard-maxilla-62spec-k11-neg1missing-winpath.tps"
  if [[ -n "$real" && -e "$lizard" ]]; then
    "$tool" --tps "$lizard" --specimen-plots "$work/lizard" 2>/dev/null
    check "the lizard sample's 62 specimens on blank fields" \
      test $? -eq 0 -a "$(ls "$work/lizard" | grep -c '\.png$')" -eq 62
  fi
fi

# --plot: an SVG in every build. Without Qt (no --specimen-plots) it is the
# shared drawing, one <use> per marker shown, and PNG or PDF are refused.
"$tool" --tps-scale "$examples/sample.tps" --pairs "$examples/pairs.txt" \
  --plot "$work/plot.svg" >/dev/null 2>"$work/err"
check "--plot writes an SVG" test $? -eq 0 -a ! -s "$work/err"
check "the SVG plot is well-formed XML" \
  python3 -c 'import sys, xml.etree.ElementTree as E; E.parse(sys.argv[1])' "$work/plot.svg"
if ! "$tool" --help | grep -q -- --specimen-plots; then
  check "the SVG plot shows the 180 landmarks of the sample" \
    test "$(grep -c "<use " "$work/plot.svg")" -eq 180
  "$tool" --tps-scale "$examples/sample.tps" --plot "$work/plot.png" >/dev/null 2>"$work/err"
  check "a PNG plot is refused" test $? -ne 0 -a ! -e "$work/plot.png"
  check "the refusal names the extensions" grep -q 'needs the extension .svg: this build writes no .png or .pdf plots' "$work/err"
fi

# Groups: a column of the tables (never of a plain dataset), and clear refusals.
cp "$road/small.tps" "$work/a.tps" && cp "$road/small.tps" "$work/b.tps"
"$tool" --tps "$work/a.tps" "$work/b.tps" --pairs "$road/pairs.txt" --groups file --format csv \
  --lengths "$work/g.csv" &&
  "$tool" --tps "$road/small.tps" --pairs "$road/pairs.txt" --groups 'id:^(.)' \
    --lengths "$work/g.txt" --summary "$work/gs.txt"
check "grouped runs succeed" test $? -eq 0
check "the table's group column names each file" test "$(cut -d, -f5 "$work/g.csv" | uniq | tr '\n' ' ')" = "group a.tps b.tps "
check "a plain dataset is the same with groups" cmp -s "$work/g.txt" "$road/expected-lengths.txt"
printf 'id,group\n1,x\nzz,y\n9,q\n' >"$work/groups.csv"
"$tool" --tps "$road/small.tps" --pairs "$road/pairs.txt" --groups "$work/groups.csv" \
  --lengths "$work/g2.csv" 2>"$work/err"
check "a groups file with unknown IDs fails and writes nothing" test $? -eq 1 -a ! -e "$work/g2.csv"
check "the message names each unknown ID and its line" grep -qF 'names IDs that match no specimen of the sample: "zz" (line 3), "9" (line 4).' "$work/err"
"$tool" --tps "$road/small.tps" --pca-scores "$work/p.csv" 2>"$work/err"
check "--pca-scores without --pca is refused with status 2" test $? -eq 2 -a ! -e "$work/p.csv"
"$tool" --tps "$road/small.tps" --pairs "$road/pairs.txt" --pca lengths --pca-matrix correlation \
  --pca-variance "$work/p.csv" --allometric-size d9_9 --allometric "$work/al.csv" 2>"$work/err"
check "an unknown allometric size variable fails, naming it" grep -q 'size variable "d9_9"' "$work/err"

# Exactly one input.
"$tool" --pairs "$road/pairs.txt" 2>/dev/null
check "an input is required" test $? -ne 0
"$tool" --help | grep -q -- "--superimposed"
check "help lists the options" test $? -eq 0

exit $((failures > 0))
