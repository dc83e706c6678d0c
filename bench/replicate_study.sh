#!/usr/bin/env bash
# A replicate study with a known answer: one published file digitised
# "twice" by adding independent Gaussian noise of standard deviation SIGMA
# to every coordinate of two copies. A distance then has measurement-error
# variance 2 SIGMA^2 (the noise of its two landmarks along its direction),
# and its among-specimen variance is that of the file's own distances, so
# its share of measurement error is known:
#   %ME = 100 * 2 SIGMA^2 / (var(distance) + 2 SIGMA^2).
# Prints, for every pair of landmarks, the known %ME, the estimate of
# --repeatability and its 95% interval (as %ME), and how many intervals
# hold the known share (about 95% of them should).
#
#   bench/replicate_study.sh [TPS_FILE] [SIGMA]
#
# Defaults: the 417 bluegill of ../shared/data/real, SIGMA 10 (pixels).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
file=${1:-$here/../shared/data/real/bluegill-body-417spec-k19-scale-crlf.TPS}
sigma=${2:-10}
tool=${DISTANGLER_BATCH:-$here/build/release/distangler-batch}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each specimen gets an ID of its own, so the sessions match by it.
for session in 1 2; do
  awk -v seed="$session" -v sigma="$sigma" 'BEGIN { srand(seed) }
    function gauss() { return sqrt(-2 * log(1 - rand())) * cos(6.283185307179586 * rand()) }
    { sub(/\r$/, "") }
    /^LM=/ { n++; print; next }
    /^ID=/ { next }
    NF == 2 && $1 ~ /^-?[0-9.]+$/ && $2 ~ /^-?[0-9.]+$/ {
      printf "%.4f %.4f\n", $1 + sigma * gauss(), $2 + sigma * gauss(); next }
    /^IMAGE=/ { print; print "ID=s" n; next }
    { print }' "$file" >"$work/session$session.tps"
done
"$tool" --tps "$file" --all-pairs --format csv --lengths "$work/true.csv" 2>/dev/null
"$tool" --tps "$work/session1.tps" "$work/session2.tps" --all-pairs --replicates files \
  --repeatability "$work/r.csv" --format csv 2>/dev/null >/dev/null
Rscript - "$work" "$sigma" <<'R'
args <- commandArgs(TRUE); sigma <- as.numeric(args[2])
truth <- read.csv(file.path(args[1], "true.csv")); r <- read.csv(file.path(args[1], "r.csv"))
d <- names(truth)[grepl("^d", names(truth))]
known <- sapply(d, function(v) 100 * 2 * sigma^2 / (var(truth[[v]]) + 2 * sigma^2))
row <- r[match(d, r$variable), ]
low <- 100 * (1 - row$ci_upper); high <- 100 * (1 - row$ci_lower)
inside <- known >= low & known <= high
cat(sprintf("%-8s known %%ME %7.3f  estimate %7.3f  95%% interval [%7.3f, %7.3f]%s\n",
            d, known, row$percent_me, low, high, ifelse(inside, "", "  outside")), sep = "")
cat(sprintf("%d of %d distances hold the known %%ME within their 95%% interval (sigma %g)\n",
            sum(inside), length(d), sigma))
R
