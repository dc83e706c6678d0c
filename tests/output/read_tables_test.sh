#!/usr/bin/env bash
# Writes every table kind of the road sample with the batch tool, in CSV and
# TSV, and reads each as users do: R's read.csv and read.delim, readr's
# read_csv and read_tsv, pandas' read_csv, with no argument beyond the file
# name (and the tab for TSV in pandas). Each must give one row per specimen,
# the columns by name and numbers as numbers. Exits 77 (skipped) when R,
# readr or pandas is missing.
# Usage: read_tables_test.sh BATCH_TOOL TEST_DATA_DIR
set -u
tool=$(realpath "$1")
road=$(realpath "$2")/road
source "$(dirname "$0")/../check.sh"

python=
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import pandas' 2>/dev/null; then python=$candidate && break; fi
done
if ! command -v Rscript >/dev/null || ! Rscript -e 'library(readr)' >/dev/null 2>&1 ||
  [ -z "$python" ]; then
  echo "SKIP: R with readr and Python with pandas are needed (bash scripts/setup --test)"
  exit 77
fi

# A second file: a specimen missing landmark 3, its ID in Latin-1 with a comma
# and a quote, so that NA values, quoting and the file column are read too.
printf 'LM=4\n10 20\n14.5 21.25\nNA NA\n9.25 24.5\nID=R\xedo, "x"\n' >"$work/extra.tps"

pairs="d1_2,d1_3,d2_4,d3_4,d1_4"
angles="angle1_2_3,angle2_3_4,angle4_1_2"
coordinates="x1,y1,x2,y2,x3,y3,x4,y4"
tables="$work/tables.txt"  # one table a line: file, separator, rows, column names
: >"$tables"
write() {  # write NAME FORMAT ROWS FIRST_COLUMNS TPS_OPTION...
  local name=$1 format=$2 rows=$3 prefix=$4
  shift 4
  "$tool" "$@" --missing --pairs "$road/pairs.txt" --triples "$road/triples.txt" \
    --format "$format" --lengths "$work/$name-l.$format" --log-lengths "$work/$name-ll.$format" \
    --constrained "$work/$name-c.$format" --angles "$work/$name-a.$format" \
    --degrees "$work/$name-d.$format" --superimposed "$work/$name-s.$format" 2>/dev/null
  check "$name: the batch tool writes $format tables" test $? -eq 0
  {
    echo "$name-l.$format $format $rows $prefix$pairs,centroid_size"
    echo "$name-ll.$format $format $rows $prefix${pairs//d/log_d},centroid_size"
    echo "$name-c.$format $format $rows $prefix${pairs//d/c_d},centroid_size"
    echo "$name-a.$format $format $rows $prefix$angles"
    echo "$name-d.$format $format $rows $prefix$angles"
    echo "$name-s.$format $format $rows $prefix$coordinates,centroid_size"
  } >>"$tables"
}
write one csv 4 "specimen,id,image," --tps "$road/small.tps"
write one tsv 4 "specimen,id,image," --tps "$road/small.tps"
write two csv 5 "specimen,id,image,file," --tps "$road/small.tps" "$work/extra.tps"

Rscript - "$work" "$tables" <<'R' 2>&1
args <- commandArgs(TRUE)
tables <- read.table(args[2], colClasses = "character")
failed <- FALSE
for (i in seq_len(nrow(tables))) {
  file <- file.path(args[1], tables[i, 1])
  tsv <- tables[i, 2] == "tsv"
  rows <- as.integer(tables[i, 3])
  names <- strsplit(tables[i, 4], ",")[[1]]
  numeric <- setdiff(names, c("id", "image", "file"))
  readers <- list(
    base = function() if (tsv) read.delim(file) else read.csv(file),
    readr = function() suppressMessages(if (tsv) readr::read_tsv(file) else readr::read_csv(file)))
  for (reader in names(readers)) {
    d <- readers[[reader]]()
    ok <- nrow(d) == rows && identical(names(d), names) &&
      all(vapply(d[numeric], is.numeric, logical(1)))
    cat(if (ok) "ok" else "FAILED", ": R ", reader, " reads ", tables[i, 1], "\n", sep = "")
    if (!ok) { print(str(d)); failed <- TRUE }
  }
}
quit(status = failed)
R
check "R reads every table" test $? -eq 0

"$python" - "$work" "$tables" <<'PY'
import sys
import pandas as pd
failed = False
for line in open(sys.argv[2]):
    name, kind, rows, columns = line.split()
    path = sys.argv[1] + "/" + name
    d = pd.read_csv(path, sep="\t") if kind == "tsv" else pd.read_csv(path)
    names = columns.split(",")
    ok = d.shape[0] == int(rows) and list(d.columns) == names and all(
        pd.api.types.is_numeric_dtype(d[c]) for c in names if c not in ("id", "image", "file"))
    print(("ok" if ok else "FAILED") + ": pandas reads " + name)
    if not ok:
        print(d.dtypes)
        failed = True
    if name == "two-l.csv" and ok:
        ok = d["id"].iloc[4] == 'R\u00edo, "x"' and d["d1_3"].isna().iloc[4]
        print(("ok" if ok else "FAILED") + ": pandas reads the Latin-1 ID and the NA")
        failed = failed or not ok
sys.exit(failed)
PY
check "pandas reads every table" test $? -eq 0

exit $((failures > 0))
