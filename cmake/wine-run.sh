#!/bin/bash
# Runs a Windows program of the given architecture (i686 or x86_64) under Wine, quietly.
# WINEPREFIX, DISPLAY and PULSE_SERVER come from the caller (scripts/with-services sets them up).
# Wine's own error lines are collected apart from the program's output: when the program fails or
# crashes they are printed with its exit code, so a failure never passes without a reason.
arch=$1; shift
export WINEARCH=win64
export WINEDEBUG="${ST_TEST_WINEDEBUG:-err+all,fixme-all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
case $arch in
  i686) loader=/usr/lib/wine/wine ;;
  *)    loader=/usr/lib/wine/wine64 ;;
esac
errlog=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -f "$errlog"' EXIT
"$loader" "$@" 2>"$errlog"
rc=$?
if [ $rc != 0 ]; then
  echo "wine-run: $(basename "$1") exited with code $rc ($(printf '0x%08X' $((rc & 0xFFFFFFFF))))" >&2
  echo "wine-run: its standard error and Wine's error lines follow" >&2
  cat "$errlog" >&2
else
  # A passing program keeps its own standard error; Wine's err: lines are noise then.
  grep -av '^[0-9a-f]\{4\}:err:' "$errlog" >&2
fi
exit $rc
