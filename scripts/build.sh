#!/usr/bin/env bash
# One configure, one parallel build of everything (programs, tests, benchmarks; the
# programs alone with -DZV_BUILD_TESTS=OFF).
#   scripts/build.sh [build folder, default build] [cmake options...]
# ccache is used when it is installed (a developer's machine; CI builds once, without it).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}; shift || true
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
