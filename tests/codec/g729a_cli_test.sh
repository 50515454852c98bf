#!/bin/bash
# The g729a tool on real files: bad input is refused with one line and exit code 2, a bad
# command line with the problem and a hint to --help, whole
# frames after the last 960-byte block continue the same codec state, and the serial
# bitstream form carries the same frames as the packed form.
# Usage: g729a_cli_test.sh PATH_TO_G729A
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0
check() {  # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAIL: $name"; failures=$((failures + 1)); fi
}
refused() {  # refused ARGS...: exit 2 with exactly one line on stderr
  "$tool" "$@" >"$work/out.txt" 2>"$work/err.txt"
  local rc=$?
  [ $rc = 2 ] && [ "$(wc -l <"$work/err.txt")" = 1 ] && grep -q 'g729a:' "$work/err.txt"
}
differ() {  # differ FILE1 FILE2: the files are not the same
  ! cmp -s "$1" "$2"
}
misused() {  # misused PROBLEM ARGS...: exit 2, the problem, then the hint; nothing on stdout
  local problem=$1; shift
  "$tool" "$@" >"$work/out.txt" 2>"$work/err.txt"
  local rc=$?
  [ $rc = 2 ] && [ ! -s "$work/out.txt" ] &&
    [ "$(cat "$work/err.txt")" = "$(printf "g729a: %s\ntry 'g729a --help'" "$problem")" ]
}

# 2080 bytes = 13 frames of a tone sweep (generated: no external files needed).
python3 - "$work" <<'PY'
import math, struct, sys
w = sys.argv[1]
s = [int(9000 * math.sin(0.0005 * n * n)) for n in range(13 * 80)]
open(f"{w}/13.raw", "wb").write(struct.pack(f"<{len(s)}h", *s))
open(f"{w}/12.raw", "wb").write(struct.pack("<960h", *s[:960]))
open(f"{w}/11.raw", "wb").write(struct.pack("<880h", *s[:880]))
open(f"{w}/5.raw", "wb").write(struct.pack("<400h", *s[:400]))
open(f"{w}/odd.raw", "wb").write(b"\x01\x02\x03")
open(f"{w}/short.g729", "wb").write(bytes(15))
PY
head -c 2000 "$work/13.raw" >"$work/tail.raw"   # 12 frames and 40 samples

check "missing input refused" refused encode "$work/none.raw" "$work/x"
check "odd byte count refused" refused encode "$work/odd.raw" "$work/x"
check "partial coded frame refused" refused decode "$work/short.g729" "$work/x"
check "unknown command refused" misused "unknown command: transcode" transcode "$work/13.raw" "$work/x"
check "no command refused" misused "no command given (encode, decode or conform)"
check "missing file name refused" misused "encode takes two files, IN and OUT" encode "$work/13.raw"
check "unknown option refused" misused "unknown option: --fast" encode --fast "$work/13.raw" "$work/x"
check "serial conform refused" misused "--itu does not apply to conform" conform --itu "$work"
"$tool" --help >"$work/out.txt"
check "help lists every command and option" \
  test "$(grep -cE '^  (encode IN.raw OUT|decode IN OUT.raw|conform DIR|--itu|--help) ' "$work/out.txt")" = 5

check "encode 12 frames" "$tool" encode "$work/12.raw" "$work/12.g729"
check "encode 11 frames" "$tool" encode "$work/11.raw" "$work/11.g729"
check "12 frames give 120 bytes" test "$(stat -c %s "$work/12.g729")" = 120
check "tail frames continue the block state" cmp -s -n 110 "$work/11.g729" "$work/12.g729"
check "11 frames give 110 bytes" test "$(stat -c %s "$work/11.g729")" = 110
"$tool" encode "$work/5.raw" "$work/5.g729"
check "less than a block starts from the initial state" cmp -s -n 50 "$work/5.g729" "$work/12.g729"

"$tool" encode "$work/tail.raw" "$work/tail.g729" 2>"$work/err.txt"
check "short tail reported" grep -q '40 samples' "$work/err.txt"
check "short tail ignored" cmp -s "$work/12.g729" "$work/tail.g729"

check "decode 12 frames" "$tool" decode "$work/12.g729" "$work/12.out"
check "decode 11 frames" "$tool" decode "$work/11.g729" "$work/11.out"
check "decoded length" test "$(stat -c %s "$work/12.out")" = 1920
head -c 110 "$work/12.g729" >"$work/12first11.g729"
"$tool" decode "$work/12first11.g729" "$work/12first11.out"
check "decoded tail continues the block state" cmp -s -n 1760 "$work/12.out" "$work/12first11.out"
head -c 50 "$work/12.g729" >"$work/12first5.g729"
"$tool" decode "$work/12first5.g729" "$work/12first5.out"
check "less than a block decodes from the initial state" cmp -s -n 800 "$work/12.out" "$work/12first5.out"

check "serial encode" "$tool" encode --itu "$work/12.raw" "$work/12.bit"
check "serial size" test "$(stat -c %s "$work/12.bit")" = $((12 * 164))
check "serial decode" "$tool" decode --itu "$work/12.bit" "$work/12bit.out"
check "serial and packed decode alike" cmp -s "$work/12.out" "$work/12bit.out"

# Garbage serial streams: wrong length, wrong sync word, a stray bit word.
head -c 300 "$work/12.bit" >"$work/cut.bit"
check "cut serial refused" refused decode --itu "$work/cut.bit" "$work/x"
cp "$work/12.bit" "$work/sync.bit"; printf '\x22\x6b' | dd of="$work/sync.bit" bs=1 seek=164 conv=notrunc status=none
check "bad sync refused" refused decode --itu "$work/sync.bit" "$work/x"
cp "$work/12.bit" "$work/word.bit"; printf '\x80\x00' | dd of="$work/word.bit" bs=1 seek=10 conv=notrunc status=none
check "bad bit word refused" refused decode --itu "$work/word.bit" "$work/x"
# An erased frame (all bit words zero) is concealed and reported; one zero bit word is enough
# to mark a frame erased, and the frames before it decode as without it.
cp "$work/12.bit" "$work/erased.bit"
head -c 160 /dev/zero | dd of="$work/erased.bit" bs=1 seek=$((3 * 164 + 4)) conv=notrunc status=none
"$tool" decode --itu "$work/erased.bit" "$work/erased.out" 2>"$work/err.txt"
check "erased frame decodes" test $? = 0
check "erased frame reported" grep -q '1 erased frames concealed' "$work/err.txt"
check "erased output length" test "$(stat -c %s "$work/erased.out")" = 1920
check "frames before the erased one unchanged" cmp -s -n 480 "$work/12.out" "$work/erased.out"
check "erased frame concealed, not decoded" differ "$work/12.out" "$work/erased.out"
cp "$work/12.bit" "$work/part.bit"; printf '\x00\x00' | dd of="$work/part.bit" bs=1 seek=$((3 * 164 + 40)) conv=notrunc status=none
"$tool" decode --itu "$work/part.bit" "$work/part.out" 2>/dev/null
check "one zero bit word erases the frame" cmp -s "$work/erased.out" "$work/part.out"

echo "$passed passed, $failures failed"
[ $failures = 0 ]
