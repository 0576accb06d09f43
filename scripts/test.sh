#!/usr/bin/env bash
# Sets up the machine, checks that every C/C++ file is formatted (scripts/check_format.sh),
# that includes keep to their layers and that no wide format holds %s (check_wide_format.py),
# builds every tree and runs all tests: the native tests, the native
# tests again under AddressSanitizer with UndefinedBehaviorSanitizer and under
# ThreadSanitizer, then the Windows tests under wine64 in one session (wineserver, Xvfb,
# PulseAudio). The last line is the summary.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export KIV_ROOT="$ROOT"
"$ROOT/scripts/setup.sh" || exit 1
python3 "$ROOT/scripts/check_layers.py" || { echo "test: an #include runs to a higher or sibling layer (listed above)"; exit 1; }
python3 "$ROOT/scripts/check_wide_format.py" ||
  { echo "test: a wide format holds %s (listed above): mingw-w64's swprintf reads it as a narrow string; write %ls"; exit 1; }
if ! "$ROOT/scripts/check_format.sh"; then
  echo "test: stopped: the files listed above differ from .clang-format (clang-format -i formats them)"
  exit 1
fi
"$ROOT/scripts/build.sh" || exit 1
python3 "$ROOT/scripts/check_single_compile.py" "$ROOT/build/${KIV_TAG:+$KIV_TAG-}native" \
  "$ROOT/build/${KIV_TAG:+$KIV_TAG-}x64" ||
  { echo "test: a source file is compiled into more than one target (listed above): one library, linked by them"; exit 1; }

source "$ROOT/scripts/session.sh"
trap session_stop EXIT
session_start

JOBS="${KIV_TEST_JOBS:-$(nproc)}"
status=0; passed=0; failed=0
run_ctest() { # tree [ctest arguments]
  local dir="$ROOT/build/${KIV_TAG:+$KIV_TAG-}$1" log="$ROOT/build/${KIV_TAG:+$KIV_TAG-}$1-ctest.log"
  echo "== tests: $1"
  timeout --kill-after=30 1800 ctest --test-dir "$dir" --output-on-failure \
    --timeout 300 -j"$JOBS" "${@:2}" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  [ "$rc" = 0 ] || status=1
  local line; line="$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$log" | tail -1)"
  if [ -n "$line" ]; then
    local total fails
    total="$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")"
    fails="$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")"
    passed=$((passed + total - fails)); failed=$((failed + fails))
  elif [ "$rc" != 0 ]; then
    failed=$((failed + 1))
  fi
}
run_ctest native
# A sanitizer finding fails its test program; the report with its stacks is in the output.
# Tests of memory and time bounds (label "resource") run in the plain tree only.
ASAN_OPTIONS="detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" run_ctest asan -LE resource
TSAN_OPTIONS="second_deadlock_stack=1" run_ctest tsan -LE resource
run_ctest x64
# The session stops before the summary, so that the summary is the last line.
session_stop >>"$KIV_RUN/session_stop.log" 2>&1
trap - EXIT
echo "$passed passed, $failed failed"
exit $status
