# Shared by the script tests: a scratch folder removed on exit, and check NAME
# COMMAND..., which prints "ok: NAME" or "FAILED: NAME" and counts failures.
# Source it, then end the script with: exit $((failures > 0))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  local name=$1
  shift
  if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failures=$((failures + 1)); fi
}
