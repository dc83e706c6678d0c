#!/usr/bin/env bash
# Runs distangler without a display, and distangler-batch's --plot, as a user would.
# Usage: apps_test.sh DISTANGLER DISTANGLER_BATCH EXAMPLES_DIR
set -u
app=$(realpath "$1")
batch=$(realpath "$2")
examples=$(realpath "$3")
source "$(dirname "$0")/../check.sh"
headless() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

# Without a display the window cannot open: one line naming the batch tool.
for display in "" ":9997"; do
  what=${display:-unset}
  headless DISPLAY="$display" "$app" >"$work/out" 2>"$work/err"
  check "display $what: non-zero exit" test $? -ne 0
  check "display $what: one line" test "$(wc -l <"$work/err")" -eq 1
  check "display $what: points to distangler-batch" grep -q "distangler-batch" "$work/err"
  check "display $what: nothing on standard output" test ! -s "$work/out"
done

# Calls by name still run without a display.
headless "$app" dahand Foo >"$work/out" 2>&1
check "call by name: exit 0" test $? -eq 0
check "call by name: the fall-through line" test "$(cat "$work/out")" = "Fell through case!  "
headless "$app" dahand Clear extra >"$work/out" 2>&1
check "too many inputs: the count message" grep -qF 'Run-time Error: File: dahand Line: 1 Column: 1 The function "dahand" was called with more than the declared number of inputs (1).' "$work/out"

# The batch tool paints the plot in the format of the extension.
for ext in svg png pdf; do
  "$batch" --tps-scale "$examples/sample.tps" --pairs "$examples/pairs.txt" \
    --triples "$examples/triples.txt" --plot "$work/plot.$ext" >"$work/out" 2>&1
  check "--plot .$ext: exit 0 and quiet" test $? -eq 0 -a ! -s "$work/out"
done
check "the SVG is an SVG document" grep -q "<svg" "$work/plot.svg"
check "the PNG is a PNG" test "$(head -c 4 "$work/plot.png" | tail -c 3)" = "PNG"
check "the PDF is a PDF" test "$(head -c 4 "$work/plot.pdf")" = "%PDF"
"$batch" --tps-scale "$examples/sample.tps" --pairs "$examples/pairs.txt" \
  --lengths "$work/lengths.txt" --plot "$work/plot.jpg" >"$work/out" 2>&1
check "--plot .jpg: refused" test $? -ne 0
check "--plot .jpg: the message names the formats" grep -q "needs the extension .svg, .png or .pdf" "$work/out"
check "--plot .jpg: nothing ran" test ! -e "$work/lengths.txt"

exit $((failures > 0))
