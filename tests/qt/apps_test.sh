#!/usr/bin/env bash
# Runs distangler without a display, and distangler-batch's --plot, as a user
# would; then installs the build into a temporary prefix and runs both from there.
# Usage: apps_test.sh DISTANGLER DISTANGLER_BATCH EXAMPLES_DIR VERSION CMAKE BUILD_DIR
set -u
app=$(realpath "$1")
batch=$(realpath "$2")
examples=$(realpath "$3")
version=$4
cmake=$5
build=$6
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
check "too many inputs: the count message" grep -qF 'Run-time Error: File: dahand' "$work/out"

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

# --help and --version answer without a display; --open opens the window.
headless "$app" --version >"$work/out" 2>&1
check "--version: exit 0" test $? -eq 0
check "--version: the name and version" test "$(cat "$work/out")" = "distangler $version"
"$batch" --version >"$work/out" 2>&1
check "batch --version: the name and version" test "$(cat "$work/out")" = "distangler-batch $version"
headless "$app" --help >"$work/out" 2>&1
check "--help: exit 0" test $? -eq 0
check "--help: the window" grep -qx "Usage: distangler" "$work/out"
check "--help: a call by name" grep -qx "   or: distangler NAME \[ARGUMENT...\]" "$work/out"
check "--help: the registered functions" grep -qx "  distangler dahand centsize .*" "$work/out"
check "--help: the last registered function" grep -q " iskeyword$" "$work/out"
headless "$app" --open "$examples/sample.tps" >"$work/out" 2>&1
check "--open without a display: exit 2" test $? -eq 2
check "--open without a display: the same line" grep -q "no display is available" "$work/out"

# Installed under any prefix, both programs run and find their data folder.
prefix=$(realpath "$work")/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/out" 2>&1
installed=$?
check "install: exit 0" test $installed -eq 0
[ $installed -eq 0 ] || cat "$work/out"
"$prefix/bin/distangler-batch" --tps-scale "$examples/sample.tps" --pairs "$examples/pairs.txt" \
  --lengths "$work/installed-lengths.txt" --plot "$work/installed.png"
check "installed batch tool: the distances" test "$(wc -l <"$work/installed-lengths.txt")" -eq 18
check "installed batch tool: the plot" test -s "$work/installed.png"
check "installed distangler: --version" \
  test "$(headless "$prefix/bin/distangler" --version)" = "distangler $version"
# A broken installed layout file is reported by its path: it was found there.
echo "{" >"$prefix/share/distangler/Distangler.fig"
(cd "$work" && headless "$prefix/bin/distangler" openfig Distangler reuse) >"$work/out" 2>&1
check "installed distangler: the layout file from share/distangler" \
  grep -qF "Layout file \"$prefix/share/distangler/Distangler.fig\" is not valid JSON" "$work/out"

exit $((failures > 0))
