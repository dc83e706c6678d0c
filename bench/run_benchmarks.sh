#!/usr/bin/env bash
# Builds the release preset, generates synthetic samples, times the batch tool
# on each (3 runs, median wall time, peak memory, throughput), times the two
# large-sample configurations on one thread and on every core against reading
# the file with cat, and then runs the graphics tree benchmark.
#
#   bench/run_benchmarks.sh [--no-build] [--keep] [--no-1m]
#
#   --no-build  use the existing build/release binaries
#   --keep      keep the generated samples and outputs (the folder is printed)
#   --no-1m     leave out the 1,000,000 x 50 sample (1.09 GB, about 10 s a run)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build=1
keep=0
million=1
for arg in "$@"; do
  case "$arg" in
    --no-build) build=0 ;;
    --keep) keep=1 ;;
    --no-1m) million=0 ;;
    *) echo "usage: $0 [--no-build] [--keep] [--no-1m]" >&2; exit 2 ;;
  esac
done

cd "$root"
if [[ $build == 1 ]]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j2
fi

bin="$root/build/release"
make_tps="$bin/bench/make_tps"
graphics_bench="$bin/bench/graphics_bench"
batch="$bin/distangler-batch"
runs=3

work="$(mktemp -d "${TMPDIR:-/tmp}/distangler-bench.XXXXXX")"
if [[ $keep == 1 ]]; then
  echo "samples and outputs kept in $work"
else
  trap 'rm -rf "$work"' EXIT
fi

if [[ -x /usr/bin/time ]]; then
  have_time=1
else
  have_time=0
  echo "note: /usr/bin/time not found; wall times only, peak memory unavailable"
fi

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
now_ns() { date +%s%N; }

# Samples: specimens x landmarks.
sizes=("1000 20" "10000 30" "100000 50")
echo "== generating samples in $work"
for size in "${sizes[@]}"; do
  read -r n k <<<"$size"
  file="$work/sample_${n}x${k}.tps"
  start=$(now_ns)
  "$make_tps" --specimens "$n" --landmarks "$k" --scale --seed 1 "$file"
  end=$(now_ns)
  awk -v b="$(stat -c %s "$file")" -v ns=$((end - start)) -v f="$(basename "$file")" \
    'BEGIN { printf "  %-24s %8.1f MB  written in %.3f s\n", f, b / 1e6, ns / 1e9 }'
done

# 50 landmark pairs, numbered within the smallest sample's 20 landmarks: each
# landmark paired with the ones 3, 6 and 9 further round.
pairs="$work/pairs.txt"
awk 'BEGIN { for (i = 1; i <= 50; i++) {
  a = (i - 1) % 20 + 1; b = (a - 1 + 3 * (int((i - 1) / 20) + 1)) % 20 + 1
  printf "%d  %d  %d\n", i, a, b } }' >"$pairs"

if [[ ! -x "$batch" ]]; then
  echo
  echo "== $batch not built; skipping the batch runs"
else
  timings_flag=()
  if "$batch" --help 2>&1 | grep -q -- '--timings'; then timings_flag=(--timings); fi

  echo
  echo "== distangler-batch: read, superimpose, measure, write three distance datasets"
  echo "   (median of $runs runs; whole run, including process start)"
  printf "  %-14s %9s %10s %12s %10s\n" "sample" "input MB" "wall s" "peak RSS MB" "MB/s"
  for size in "${sizes[@]}"; do
    read -r n k <<<"$size"
    file="$work/sample_${n}x${k}.tps"
    bytes=$(stat -c %s "$file")
    walls=()
    peaks=()
    for run in $(seq 1 $runs); do
      out="$work/out_${n}x${k}_$run"
      cmd=("$batch" --tps "$file" --pairs "$pairs" --lengths "$out.lengths"
        --log-lengths "$out.loglengths" --constrained "$out.constrained" "${timings_flag[@]}")
      start=$(now_ns)
      if [[ $have_time == 1 ]]; then
        status=0
        /usr/bin/time -v -o "$out.time" "${cmd[@]}" >"$out.stdout" 2>"$out.stderr" || status=$?
        peaks+=("$(awk -F: '/Maximum resident set size/ { print $2 + 0 }' "$out.time")")
      else
        status=0
        "${cmd[@]}" >"$out.stdout" 2>"$out.stderr" || status=$?
      fi
      end=$(now_ns)
      if [[ $status != 0 ]]; then
        echo "  ${n}x${k}: distangler-batch failed (exit $status):" >&2
        sed 's/^/    /' "$out.stderr" >&2
        exit 1
      fi
      walls+=("$(awk -v ns=$((end - start)) 'BEGIN { printf "%.4f", ns / 1e9 }')")
    done
    wall=$(printf '%s\n' "${walls[@]}" | median)
    if [[ $have_time == 1 ]]; then
      peak=$(printf '%s\n' "${peaks[@]}" | sort -g | tail -1)
      peak_mb=$(awk -v kb="$peak" 'BEGIN { printf "%.1f", kb * 1024 / 1e6 }')
    else
      peak_mb="n/a"
    fi
    awk -v s="${n}x${k}" -v b="$bytes" -v w="$wall" -v p="$peak_mb" \
      'BEGIN { printf "  %-14s %9.1f %10.3f %12s %10.1f\n", s, b / 1e6, w, p, b / 1e6 / w }'

    # Per-stage timings of the run whose wall time was the median.
    if [[ ${#timings_flag[@]} -gt 0 ]]; then
      for run in $(seq 1 $runs); do
        if [[ "${walls[run - 1]}" == "$wall" ]]; then
          stderr="$work/out_${n}x${k}_$run.stderr"
          grep '^timing:' "$stderr" | sed 's/^/      /' || true
          break
        fi
      done
    fi
    # The TPS reading alone (read and parse, size column included).
    "$bin/bench/tps_read_bench" "$file" "$runs" | sed 's/^/      /'
  done
  echo "  targets: 100000x50 under 2 s for the whole run; reading at 500 MB/s or more"

  # The cost of tables: the three distance datasets of the largest sample
  # written plain and as CSV, runs alternating so that both meet the same
  # machine load; the times are the saves' own (--timings), reading excluded.
  if [[ ${#timings_flag[@]} -gt 0 ]] && "$batch" --help 2>&1 | grep -q -- '--format'; then
    table_runs=5
    file="$work/sample_100000x50.tps"
    echo
    echo "== writing the three distance datasets of 100000x50 with 50 pairs: plain and CSV"
    echo "   (the saves' times from --timings, runs interleaved, median of $table_runs each)"
    declare -A save_times=([plain]="" [csv]="")
    declare -A out_mb=()
    for run in $(seq 1 $table_runs); do
      for format in plain csv; do
        out="$work/table_$format"
        if ! "$batch" --tps "$file" --pairs "$pairs" --format "$format" --timings \
          --lengths "$out.l" --log-lengths "$out.ll" --constrained "$out.c" \
          >/dev/null 2>"$out.stderr"; then
          echo "  --format $format: distangler-batch failed:" >&2
          sed 's/^/    /' "$out.stderr" >&2
          exit 1
        fi
        save_times[$format]+="$(awk '/^timing: Save(Lengths|LogLengths|Constrained) / { s += $3 }
          END { printf "%.4f", s }' "$out.stderr") "
        out_mb[$format]=$(stat -c %s "$out.l" "$out.ll" "$out.c" | awk '{ s += $1 } END { printf "%.1f", s / 1e6 }')
      done
    done
    plain=$(printf '%s\n' ${save_times[plain]} | median)
    csv=$(printf '%s\n' ${save_times[csv]} | median)
    printf "  %-8s %10s %10s\n" "format" "write s" "output MB"
    printf "  %-8s %10.3f %10s\n" plain "$plain" "${out_mb[plain]}" csv "$csv" "${out_mb[csv]}"
    awk -v p="$plain" -v c="$csv" 'BEGIN { printf "  CSV / plain: %.2f (target: 1.3 or less)\n", c / p }'
  fi
fi

# Large samples, configurations A (three distance datasets of 50 pairs) and B
# (angles of 48 triples and the superimposed sample), with --threads 1 and the
# default (every core). Each run is paired with a `cat FILE > /dev/null` of the
# same file just before it, so the ratio compares both under the same load.
# The 100000 x 50 sample is also measured in 3-D (x y z landmarks, config A),
# against its 2-D time. The samples are generated once into a folder kept
# between runs of this script.
if [[ -x "$batch" && $have_time == 1 ]] && [[ "$("$batch" --help 2>&1)" == *--threads* ]]; then
  samples="${TMPDIR:-/tmp}/distangler-bench-samples"
  mkdir -p "$samples"
  large=("100000 50 2" "100000 50 3")
  [[ $million == 1 ]] && large+=("1000000 50 2")
  pairs50="$work/pairs50.txt"
  awk 'BEGIN { for (i = 1; i <= 50; i++) printf "%d %d %d\n", i, i, i % 50 + 1 }' >"$pairs50"
  triples48="$work/triples48.txt"
  awk 'BEGIN { for (i = 1; i <= 48; i++) printf "%d %d %d %d\n", i, i, i + 1, i + 2 }' >"$triples48"
  echo
  echo "== large samples: configurations A and B, one thread and the default ($(nproc) cores)"
  echo "   A: --pairs (50) --lengths --log-lengths --constrained;  B: --triples (48) --angles --superimposed"
  echo "   (median of $runs runs; CPU = user + sys; cat = the file read by cat just before each run)"
  printf "  %-12s %-3s %-8s %8s %8s %10s %10s %8s\n" sample cfg threads "wall s" "CPU s" "peak MB" "B/specimen" "x cat"
  a_walls=()  # "n x k dims wall" of config A on the default threads
  for size in "${large[@]}"; do
    read -r n k dims <<<"$size"
    label="${n}x${k}"
    [[ $dims == 3 ]] && label+="x3"
    file="$samples/sample_${label}.tps"
    if [[ ! -s "$file" ]]; then
      "$make_tps" --specimens "$n" --landmarks "$k" --seed 1 --dimensions "$dims" "$file.part"
      mv "$file.part" "$file"
    fi
    cfgs=(A B)
    [[ $dims == 3 ]] && cfgs=(A)
    for cfg in "${cfgs[@]}"; do
      for threads in 1 default; do
        walls=() cpus=() peaks=() cats=()
        for run in $(seq 1 $runs); do
          out="$work/large_$cfg"
          start=$(now_ns)
          cat "$file" >/dev/null
          end=$(now_ns)
          cats+=("$(awk -v ns=$((end - start)) 'BEGIN { printf "%.4f", ns / 1e9 }')")
          cmd=("$batch" --tps "$file")
          [[ $threads == 1 ]] && cmd+=(--threads 1)
          [[ $dims == 3 ]] && cmd+=(--dimensions 3)
          if [[ $cfg == A ]]; then
            cmd+=(--pairs "$pairs50" --lengths "$out.l" --log-lengths "$out.ll" --constrained "$out.c")
          else
            cmd+=(--triples "$triples48" --angles "$out.a" --superimposed "$out.s")
          fi
          if ! /usr/bin/time -f "%e %U %S %M" -o "$out.time" "${cmd[@]}" >/dev/null 2>"$out.stderr"; then
            echo "  ${n}x${k} $cfg: distangler-batch failed:" >&2
            sed 's/^/    /' "$out.stderr" >&2
            exit 1
          fi
          read -r wall user sys peak <"$out.time"
          walls+=("$wall")
          cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')")
          peaks+=("$peak")
          rm -f "$out".[lcas] "$out.ll"
        done
        wall=$(printf '%s\n' "${walls[@]}" | median)
        cpu=$(printf '%s\n' "${cpus[@]}" | median)
        peak=$(printf '%s\n' "${peaks[@]}" | median)
        cat_wall=$(printf '%s\n' "${cats[@]}" | median)
        [[ $cfg == A && $threads == default ]] && a_walls+=("$n $k $dims $wall")
        awk -v s="$label" -v c="$cfg" -v t="$threads" -v w="$wall" -v u="$cpu" -v p="$peak" \
          -v n="$n" -v cw="$cat_wall" 'BEGIN {
          printf "  %-12s %-3s %-8s %8.2f %8.2f %10.1f %10.0f %8.1f\n", s, c, t, w, u, p * 1024 / 1e6,
            p * 1024 / n, (cw > 0 ? w / cw : 0) }'
      done
    done
  done
  printf '%s\n' "${a_walls[@]}" | awk '$1 == 100000 && $3 == 2 { flat = $4 } $1 == 100000 && $3 == 3 { solid = $4 }
    END { if (flat > 0) printf "  100000x50 A, 3-D / 2-D wall time (default threads): %.2f (target: 1.6 or less)\n", solid / flat }'
  echo "  targets (2 idle cores, default threads): 100000x50 A under 0.45 s; 1000000x50 A under 5 s,"
  echo "  B under 7 s; peak memory under 950 B per specimen"
fi

echo
echo "== graphics tree"
"$graphics_bench" 2>/dev/null
