#!/usr/bin/env bash
# The converged superimposition (--converge) of published files against an
# independent one in R: every specimen centred, scaled to unit size and
# rotated onto the mean, pass after pass, until no rotation changes by more
# than rounding. After one rotation that takes R's orientation onto
# Distangler's, the converged coordinates must agree within 1e-12, and the
# standard superimposition must not (it stops early by design), so the test
# also shows the option takes effect. Exits 77 (skipped) without R or the
# published files.
# Usage: converge_test.sh BATCH_TOOL REAL_DATA_DIR
set -u
tool=$(realpath "$1")
real=$2
source "$(dirname "$0")/../check.sh"
if ! command -v Rscript >/dev/null || [ ! -d "$real" ]; then
  echo "SKIP: R (bash scripts/setup --test) and the published files ($real) are needed"
  exit 77
fi

cat >"$work/gpa.R" <<'R'
args <- commandArgs(TRUE)
d <- as.integer(args[3])
coords <- function(f) { t <- read.csv(f); as.matrix(t[, grepl("^[xyz][0-9]+$", names(t))]) }
S <- coords(args[1]); C <- coords(args[2])
shape <- function(row) {
  m <- matrix(row, ncol = d, byrow = TRUE); m <- sweep(m, 2, colMeans(m)); m / sqrt(sum(m^2))
}
best_rotation <- function(m, ref) {
  s <- svd(t(m) %*% ref)
  s$u %*% diag(c(rep(1, d - 1), sign(det(s$u %*% t(s$v))))) %*% t(s$v)
}
A <- lapply(seq_len(nrow(S)), function(i) shape(S[i, ]))
ref <- A[[1]]
previous <- Inf
for (pass in 1:1000) {
  turn <- 0
  A <- lapply(A, function(m) {
    R <- best_rotation(m, ref); turn <<- max(turn, sqrt(sum((R - diag(d))^2) / 2)); m %*% R
  })
  M <- Reduce(`+`, A) / length(A); ref <- M / sqrt(sum(M^2))
  if (turn < 1e-15 || (turn < 1e-12 && turn > 0.9 * previous)) break
  previous <- turn
}
largest <- function(X) {
  Xm <- lapply(seq_len(nrow(X)), function(i) matrix(X[i, ], ncol = d, byrow = TRUE))
  G <- best_rotation(ref, Reduce(`+`, Xm) / length(Xm))
  max(sapply(seq_along(A), function(i) max(abs(A[[i]] %*% G - Xm[[i]]))))
}
cat(largest(C), largest(S), "\n")
R

for case in "bluegill-body-417spec-k19-scale-crlf.TPS 2" "dragonfly-forewing-120spec-k20-noscale.tps 2" \
  "trilobite-phacops-144spec-lm21-3D-tabs-crlf.tps 3"; do
  read -r file dims <<<"$case"
  "$tool" --tps "$real/$file" --dimensions "$dims" --format csv --superimposed "$work/s.csv" 2>/dev/null &&
    "$tool" --tps "$real/$file" --dimensions "$dims" --format csv --converge \
      --superimposed "$work/c.csv" 2>/dev/null
  check "$file: both superimpositions are written" test $? -eq 0
  read -r converged standard < <(Rscript "$work/gpa.R" "$work/s.csv" "$work/c.csv" "$dims")
  check "$file: converged within 1e-12 of R's ($converged), the standard stop not ($standard)" \
    awk -v c="$converged" -v s="$standard" 'BEGIN { exit !(c < 1e-12 && s > 1e-9) }'
done
exit $((failures > 0))
