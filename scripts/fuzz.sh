#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz, replays the kept inputs of
# fuzz/regressions, then fuzzes every target for a while from a copy of its starting corpus
# (fuzz/corpus is never changed). Any crash, leak, undefined behaviour or broken invariant
# fails the script; the input that caused it is left in build-fuzz/artifacts/<target>/.
#   scripts/fuzz.sh [seconds per target, default 60; 0 only replays corpus and regressions]
# FUZZ_JOBS (default: the number of cores) targets run side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
secs=${1:-60}
jobs=${FUZZ_JOBS:-$(nproc)}
dir=$root/build-fuzz
targets=(backup ini linelist frame)
declare -A maxlen=([backup]=2048 [ini]=4096 [linelist]=4096 [frame]=4096)

case $secs in ''|*[!0-9]*) echo "fuzz.sh: seconds must be a whole number, not '$secs'" >&2; exit 2 ;; esac
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is missing (scripts/setup.sh installs it)" >&2; exit 2; }

start=$(date +%s)
gen=()
if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
  gen=(-G Ninja)
fi
cmake -S fuzz -B "$dir" "${gen[@]}" -DCMAKE_CXX_COMPILER=clang++ -DZV_FUZZ=ON >/dev/null
cmake --build "$dir" -j"$jobs" --target "${targets[@]/#/fuzz_}"
built=$(date +%s)

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
logs=$dir/logs
rm -rf "$logs"
mkdir -p "$logs"
failed=()

# 1. Every kept input must pass, each run once.
for t in "${targets[@]}"; do
  files=()
  if [ -d "fuzz/regressions/$t" ]; then
    while IFS= read -r -d '' f; do files+=("$f"); done \
      < <(find "fuzz/regressions/$t" -type f ! -name '.*' -print0 | sort -z)
  fi
  [ ${#files[@]} -gt 0 ] || continue
  if (cd "$logs" && "$dir/fuzz_$t" -rss_limit_mb=2048 "${files[@]/#/$root/}") >"$logs/$t-regressions.log" 2>&1; then
    echo "fuzz_$t: ${#files[@]} kept input(s) replayed, all pass"
  else
    echo "fuzz_$t: a kept input FAILS:" >&2
    grep -v '^INFO:' "$logs/$t-regressions.log" | tail -n 40 >&2
    failed+=("fuzz_$t (regressions)")
  fi
done

# 2. Fuzz each target from a temporary copy of its corpus and the kept inputs.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fuzz_one() {
  local t=$1 corpus=$work/$1
  mkdir -p "$corpus" "$dir/artifacts/$t"
  cp fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true
  if [ -d "fuzz/regressions/$t" ]; then cp fuzz/regressions/"$t"/* "$corpus"/ 2>/dev/null || true; fi
  local opts=(-rss_limit_mb=2048 -max_len="${maxlen[$t]}" -timeout=30 -detect_leaks=1
              -print_final_stats=1 -artifact_prefix="$dir/artifacts/$t/")
  if [ "$secs" -gt 0 ]; then opts+=(-max_total_time="$secs"); else opts+=(-runs=0); fi
  local rc=0
  (cd "$work" && "$dir/fuzz_$t" "${opts[@]}" "$corpus") >"$logs/$t.log" 2>&1 || rc=$?
  echo "$rc" >"$logs/$t.rc"
  ls "$corpus" | wc -l >"$logs/$t.corpus"
}
pids=()
for t in "${targets[@]}"; do
  fuzz_one "$t" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
done
for p in "${pids[@]}"; do wait "$p"; done

# 3. Report: executions and time per target, one summary line each in fuzz-summary.txt.
rev=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
stamp=$(date -u +%Y-%m-%dT%H:%M:%SZ)
for t in "${targets[@]}"; do
  rc=$(cat "$logs/$t.rc")
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$t.log" | tail -n 1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$logs/$t.log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$logs/$t.log" | tail -n 1)
  result=ok
  if [ "$rc" != 0 ]; then
    result="FAILED (exit $rc)"
    failed+=("fuzz_$t")
  fi
  line="fuzz_$t: ${execs:-?} executions in ${took:-$secs} s (${rate:-?}/s), corpus $(ls fuzz/corpus/$t | wc -l) -> $(cat "$logs/$t.corpus") inputs, $result"
  echo "$line"
  echo "$stamp $rev $line" >>"$dir/fuzz-summary.txt"
  if [ "$rc" != 0 ]; then
    grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz_|.*runtime error)|Test unit written' "$logs/$t.log" | head -n 20 >&2 || true
    echo "  full log: $logs/$t.log" >&2
  fi
done
end=$(date +%s)
echo "fuzz: build $((built - start)) s, replay and fuzzing $((end - built)) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all targets pass"
