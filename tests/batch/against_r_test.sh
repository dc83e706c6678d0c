#!/usr/bin/env bash
# The analyses whose numbers a paper reports, against computations of their
# own in R:
# - the measurement error of replicates (--repeatability) against aov() and
#   qf() on the distances, angles and sizes the same run writes, and the
#   Procrustes analysis of variance against sums of squares of the
#   converged coordinates;
# - the converged superimposition (--converge) of published files against a
#   superimposition in R iterated until no rotation changes: after one
#   rotation that takes R's orientation onto Distangler's, within 1e-12,
#   where the standard stop is not (so the option is seen to take effect).
# Exits 77 (skipped) without R; the published files' part is skipped where
# they are absent.
# Usage: against_r_test.sh BATCH_TOOL EXAMPLES_DIR REAL_DATA_DIR
set -u
tool=$(realpath "$1")
examples=$(realpath "$2")
real=$3
source "$(dirname "$0")/../check.sh"
if ! command -v Rscript >/dev/null; then
  echo "SKIP: R is needed (bash scripts/setup --test)"
  exit 77
fi

# Three digitising sessions of the example: each coordinate moved by noise,
# the third session without specimens 5 and 6 (so n0 is not 3) and with
# landmark 4 of specimen 2 missing (so its distances drop out alone).
for session in 1 2 3; do
  awk -v s="$session" 'BEGIN { srand(s) }
    /^LM=/ { n++ } s == 3 && (n == 5 || n == 6) { next }
    NF == 2 && $1 ~ /^[0-9.]+$/ {
      if (s == 3 && n == 2 && ++m == 4) { print "NA NA"; next }
      printf "%.3f %.3f\n", $1 + rand() - 0.5, $2 + rand() - 0.5; next }
    { print }' "$examples/sample.tps" >"$work/session$session.tps"
done
"$tool" --tps "$work"/session{1,2,3}.tps --missing --pairs "$examples/pairs.txt" \
  --triples "$examples/triples.txt" --replicates files --format csv --converge \
  --repeatability "$work/r.csv" --lengths "$work/l.csv" --degrees "$work/g.csv" \
  --superimposed "$work/s.csv" >"$work/out" 2>&1
check "the replicate study runs" test $? -eq 0
check "aov(), qf() and the Procrustes sums of squares agree" Rscript - "$work" <<'R'
w <- commandArgs(TRUE)[1]
r <- read.csv(file.path(w, "r.csv"))
l <- read.csv(file.path(w, "l.csv")); g <- read.csv(file.path(w, "g.csv"))
values <- cbind(l[, grepl("^d|^centroid_size$", names(l))], g[, grepl("^angle", names(g))])
close <- function(a, b, tol = 1e-10) isTRUE(abs(a - b) <= tol * max(abs(b), 1e-300))
ok <- identical(r$variable, c(names(values), "shape"))
for (v in names(values)) {
  y <- values[[v]]; id <- factor(l$id[!is.na(y)]); y <- y[!is.na(y)]
  a <- nlevels(id); n <- length(y); t <- summary(aov(y ~ id))[[1]]
  n0 <- (n - sum(table(id)^2) / n) / (a - 1)
  F <- t[1, "Mean Sq"] / t[2, "Mean Sq"]
  s2 <- (t[1, "Mean Sq"] - t[2, "Mean Sq"]) / n0
  fl <- F / qf(0.975, a - 1, n - a); fu <- F * qf(0.975, n - a, a - 1)
  row <- r[r$variable == v, ]
  ok <- ok && row$measurements == n && close(row$n0, n0) &&
    close(row$ms_among, t[1, "Mean Sq"]) && close(row$ms_within, t[2, "Mean Sq"]) &&
    close(row$p, t[1, "Pr(>F)"], 1e-8) && close(row$repeatability, s2 / (s2 + t[2, "Mean Sq"])) &&
    close(row$ci_lower, (fl - 1) / (fl + n0 - 1), 1e-9) &&
    close(row$ci_upper, (fu - 1) / (fu + n0 - 1), 1e-9)
}
# Landmark 4 of one measurement is missing: 52 values of the distances using it.
ok <- ok && r$measurements[r$variable == "d3_4"] == 51 && r$measurements[1] == 52
s <- read.csv(file.path(w, "s.csv")); x <- as.matrix(s[, grepl("^[xy][0-9]+$", names(s))])
keep <- complete.cases(x); x <- x[keep, ]; id <- factor(s$id[keep])
means <- apply(x, 2, function(col) ave(col, id))
within <- sum((x - means)^2); among <- sum(sweep(means, 2, colMeans(x))^2)
shape <- r[r$variable == "shape", ]; m <- ncol(x) - 4
ok <- ok && close(shape$ss_within, within) && close(shape$ss_among, among) &&
  shape$df_among == (nlevels(id) - 1) * m && shape$df_within == (nrow(x) - nlevels(id)) * m
quit(status = !ok)
R
check "the report names the least repeatable variable and the shape's F" test "$(grep -c \
  -e "^Least repeatable: angle" -e "^Shape (Procrustes analysis .*): F = " "$work/out")" -eq 2

# Groups, the summary, the three size corrections and the PCA of the third
# session (one landmark missing) against R's mean, sd, lm() and prcomp().
awk '/^ID=/ { sub(/^ID=/, ""); print $0 "," ($0 % 2 ? "odd" : "even") }' \
  "$work/session3.tps" >"$work/groups.csv"
size=(--tps "$work/session3.tps" --missing --pairs "$examples/pairs.txt" --triples
  "$examples/triples.txt" --groups "$work/groups.csv" --format csv)
"$tool" "${size[@]}" --lengths "$work/l.csv" --degrees "$work/g.csv" --summary "$work/sum.csv" \
  --allometric "$work/a.csv" --allometric-slopes "$work/b.csv" --log-shape-ratios "$work/lsr.csv" \
  --burnaby "$work/bur.csv" --pca log-lengths --pca-matrix correlation \
  --pca-scores "$work/ps.csv" --pca-loadings "$work/pl.csv" --pca-variance "$work/pv.csv" \
  >"$work/out" 2>&1 &&
  "$tool" "${size[@]}" --burnaby "$work/bur1.csv" --burnaby-vector pc1 --allometric-size d1_2 \
    --allometric-x0 2.5 --allometric "$work/a2.csv" --pca degrees --pca-scores "$work/ps2.csv" \
    --pca-variance "$work/pv2.csv" >>"$work/out" 2>&1
check "the size study runs" test $? -eq 0
check "Burnaby's report says the matrix lost one dimension" grep -q "of rank 7 for 8 variables (1 dimension lost)" "$work/out"
check "summaries, slopes, corrections and components agree with R" Rscript - "$work" <<'R'
w <- commandArgs(TRUE)[1]
rd <- function(f) read.csv(file.path(w, f))
close <- function(a, b, tol = 1e-10) {
  a <- as.matrix(a); b <- as.matrix(b)
  isTRUE(all(dim(a) == dim(b)) && all(is.na(a) == is.na(b)) &&
    all(abs(a - b) <= tol * pmax(abs(b), 1e-300), na.rm = TRUE))
}
l <- rd("l.csv"); g <- rd("g.csv"); s <- rd("sum.csv")
y <- as.matrix(l[, grepl("^d", names(l))]); cs <- l$centroid_size; grp <- factor(l$group)
ok <- identical(levels(factor(s$group)), c("all", "even", "odd"))
values <- cbind(y, log(y), y / sqrt(rowSums(y^2)), as.matrix(g[, grepl("^angle", names(g))]), cs)
for (j in seq_len(ncol(values))) for (level in c("odd", "even", "all")) {
  v <- values[if (level == "all") TRUE else l$group == level, j]
  row <- s[seq_len(nrow(s)) == (j - 1) * 3 + match(level, c(unique(l$group), "all")), ]
  k <- v[!is.na(v)]
  ok <- ok && row$n == length(k) && row$missing == sum(is.na(v)) && close(row$mean, mean(k)) &&
    close(row$sd, sd(k)) && close(row$cv_percent, 100 * sd(k) / mean(k)) &&
    close(row$min, min(k)) && close(row$max, max(k))
}
b <- rd("b.csv"); a <- rd("a.csv"); x0 <- mean(cs, na.rm = TRUE)
for (j in seq_len(ncol(y))) {
  f <- summary(lm(log(y[, j]) ~ grp + log(cs)))
  k <- !is.na(y[, j]) & !is.na(cs)
  within <- summary(lm(resid(lm(log(y[k, j]) ~ grp[k])) ~ resid(lm(log(cs[k]) ~ grp[k]))))
  ok <- ok && close(b$slope[j], coef(f)["log(cs)", 1]) && close(b$se[j], coef(f)["log(cs)", 2]) &&
    close(b$r_squared[j], within$r.squared) && b$df[j] == f$df[2] && close(b$x0[j], x0) &&
    close(a[, j + 4], y[, j] * (x0 / cs)^b$slope[j])
}
a2 <- rd("a2.csv"); x <- y[, "d1_2"]
b2 <- sapply(1:8, function(j) coef(lm(log(y[, j]) ~ grp + log(x)))[3])
ok <- ok && close(a2[, 5:12], y * (2.5 / x)^rep(b2, each = nrow(y)))
ok <- ok && close(rd("lsr.csv")[, 5:12], log(y) - rowMeans(log(y)))
z <- log(y); bur <- as.matrix(rd("bur.csv")[, 5:12]); v <- rep(1, 8) / sqrt(8)
ok <- ok && close(bur, z - (z %*% v) %*% t(v))
p1 <- prcomp(na.omit(z))$rotation[, 1]; bur1 <- as.matrix(rd("bur1.csv")[, 5:12])
ok <- ok && close(bur1, z - (z %*% p1) %*% t(p1), 1e-9)
compare <- function(scores, variance, data, scale) {
  p <- prcomp(na.omit(data), scale. = scale); sc <- as.matrix(scores[, grepl("^PC", names(scores))])
  signs <- sign(colSums(sc[complete.cases(sc), ] * p$x))
  close(variance$sd, p$sdev, 1e-9) && close(variance$proportion, p$sdev^2 / sum(p$sdev^2), 1e-9) &&
    close(sweep(sc[complete.cases(sc), ], 2, signs, `*`), p$x, 1e-8)
}
pl <- rd("pl.csv"); p <- prcomp(na.omit(z), scale. = TRUE)
ok <- ok && compare(rd("ps.csv"), rd("pv.csv"), z, TRUE) &&
  close(abs(as.matrix(pl[, -1])), abs(p$rotation), 1e-8) &&
  compare(rd("ps2.csv"), rd("pv2.csv"), as.matrix(g[, grepl("^angle", names(g))]), FALSE)
quit(status = !ok)
R

if [ ! -d "$real" ]; then
  echo "SKIP: the converged superimposition of the published files ($real is absent)"
  exit $((failures > 0))
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
