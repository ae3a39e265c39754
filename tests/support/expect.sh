# The shell suites' checks: run a command into $OUT/$ERR (both set by
# the suite), compare its exit code, count failures in FAILURES.
FAILURES=0

fail() {
  echo "FAIL: $*"
  echo "  stdout: $(head -c 600 "$OUT")"
  echo "  stderr: $(head -c 600 "$ERR")"
  FAILURES=$((FAILURES + 1))
}

# expect <exit code> <description> -- <command...>
expect() {
  local want=$1 what=$2
  shift 3
  "$@" >"$OUT" 2>"$ERR"
  local got=$?
  [ "$got" -eq "$want" ] || fail "$what: exit $got, wanted $want"
}
