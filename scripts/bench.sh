#!/usr/bin/env bash
# Builds the benchmark programs in their own Release folder, runs them all and prints a
# summary table. Takes a few minutes; CI does not run it.
#
#   scripts/bench.sh [--quick] [build folder]       (build-bench by default)
#
# ZV_BENCH_DIR chooses where the temporary documents folders go (the system's temporary
# folder by default); put it on the disk the scoreboard really writes to, since a durable
# save on tmpfs costs nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
if [[ "${1:-}" == "--quick" ]]; then
  quick=1
  shift
fi
dir=${1:-build-bench}

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j"$(nproc)" --target zelvano zelvano-receiver \
  zv_bench_validation zv_bench_startup zv_bench_history zv_bench_network >/dev/null

export QT_QPA_PLATFORM=offscreen
export LC_ALL=C.UTF-8
log=$(mktemp)
trap 'rm -f "$log"' EXIT

echo "== machine"
lscpu | head -n 10 | grep -v -i -e flags -e '^Vulnerab'
echo "cores: $(nproc)"
date -u '+%Y-%m-%d %H:%M UTC'
uptime

if ((quick)); then
  validations=100 runs=5 history=--quick
else
  validations=500 runs=15 history=
fi
# Qt's notes about the offscreen platform are of no interest here.
quiet() { grep -v -e 'propagateSizeHints' -e 'XDG_RUNTIME_DIR' || true; }

echo
echo "== validation and durable save"
"$dir/bench/zv_bench_validation" "$validations" 2>&1 | quiet | tee -a "$log" | grep -v "^@row" || true
echo
echo "== start-up"
"$dir/bench/zv_bench_startup" "$runs" --program "$dir/bin/zelvano" 2>&1 | quiet | tee -a "$log" | grep -v "^@row" || true
echo
echo "== history: archive, sending, memory"
"$dir/bench/zv_bench_history" --receiver "$dir/bin/zelvano-receiver" $history 2>&1 | quiet | tee -a "$log" | grep -v "^@row" || true

echo
echo "== network: a slow server, hostile clients (about a minute; writes 3.8 GiB in ZV_BENCH_DIR)"
"$dir/bench/zv_bench_network" --slow-send 8 200000 2>&1 | tee -a "$log" | grep -v "^@row" || true
"$dir/bench/zv_bench_network" --hostile "$dir/bin/zelvano-receiver" 100 60 2>&1 | tee -a "$log" | grep -v "^@row" || true

echo
echo "== summary"
echo
echo "| target | goal | measured | |"
echo "| --- | --- | --- | --- |"
grep '^@row' "$log" | awk -F'\t' '{ printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5 }'
