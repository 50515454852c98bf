#!/bin/bash
# One program's command-line manners: "--help" prints a usage on stdout, nothing on stderr and
# exits 0; an unknown option and each given bad command line exit 2 with nothing on stdout and
# exactly two lines on stderr: "NAME: <problem>" and "try 'NAME --help'".
# Usage: cli_test.sh NAME ['BAD ARGS'...] -- COMMAND...
#   e.g. cli_test.sh voicepeer '--tcp' '--tcp x --udp 1 --out /tmp' -- build/native/bin/voicepeer
# Each run is cut off after 60 s. Under Wine (cmake/wine-run.sh), the wrapper's own lines and
# Wine's debug channel lines are not the program's and are left out of the count.
set -u
name=$1; shift
bad=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do bad+=("$1"); shift; done
shift
[ $# -gt 0 ] || { echo "usage: cli_test.sh NAME ['BAD ARGS'...] -- COMMAND..." >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0

run() {  # run ARGS...: the program's exit code in $rc, its output in out.txt and err.txt
  timeout 60 "$@" >"$work/out.txt" 2>"$work/raw-err.txt"
  rc=$?
  grep -av -e '^wine-run: ' -e '^[0-9a-f]\{4\}:[a-z]*:' "$work/raw-err.txt" | tr -d '\r' >"$work/err.txt"
  tr -d '\r' <"$work/out.txt" >"$work/out-lf.txt"
}
verdict() {  # verdict CASE OK
  if [ "$2" = 0 ]; then passed=$((passed + 1)); else
    echo "FAIL: $name $1 (exit $rc)"; sed 's/^/  stdout: /' "$work/out-lf.txt"; sed 's/^/  stderr: /' "$work/err.txt"
    failures=$((failures + 1))
  fi
}

run "$@" --help
[ $rc = 0 ] && grep -q '^usage: ' "$work/out-lf.txt" && [ ! -s "$work/err.txt" ]
verdict "--help" $?

refused() {  # refused CASE NEEDLE: exit 2, no stdout, the problem naming NEEDLE and the hint
  [ $rc = 2 ] && [ ! -s "$work/out-lf.txt" ] && [ "$(wc -l <"$work/err.txt")" = 2 ] &&
    head -1 "$work/err.txt" | grep -qF -- "$name: " &&
    head -1 "$work/err.txt" | grep -qF -- "$2" &&
    [ "$(tail -1 "$work/err.txt")" = "try '$name --help'" ]
  verdict "$1" $?
}
run "$@" --no-such-option
refused "--no-such-option" "--no-such-option"
for args in "${bad[@]}"; do
  # shellcheck disable=SC2086  # the bad arguments are given as one word-split string
  run "$@" $args
  refused "$args" ""
done

echo "$name: $passed passed, $failures failed"
[ $failures = 0 ]
