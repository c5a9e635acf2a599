#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (gcc) in
# build-asan and runs the test suite there, leak detection on. Tests labelled "slow" and
# the end-to-end and crash tests are left to the ordinary run.
#   scripts/sanitize.sh [build folder, default build-asan]
# Exits non-zero on a failing test, a leak or undefined behaviour.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dir=${1:-build-asan}
jobs=$(nproc)
start=$(date +%s)

gen=()
if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
  gen=(-G Ninja)
fi
cmake -S . -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=g++ -DZV_SANITIZE=ON >/dev/null
cmake --build "$dir" -j"$jobs"
built=$(date +%s)

# Leaks of the Qt, fontconfig and X libraries themselves are suppressed (see the file);
# anything allocated by our code still fails the run.
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

status=0
ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600 \
  -LE slow -E 'e2e|crash' </dev/null || status=$?
end=$(date +%s)
echo "sanitize: build $((built - start)) s, tests $((end - built)) s, exit $status"
exit "$status"
