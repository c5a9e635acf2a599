#!/usr/bin/env bash
# Installs what is missing, builds once, and runs every test headless: the QtTest suite
# (with the crash-kill and X11 end-to-end tests), the Debian packages built, installed,
# started and purged, the suite again under ASan+UBSan, and each fuzzer for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
bash scripts/build.sh build
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" </dev/null
tail -n 1 build/e2e-artifacts/crashkill.txt 2>/dev/null || true
# After the suite, never beside it: installed, the scoreboard would use /var/lib/zelvano.
timeout 1200 bash tests/packaging/check_packages.sh build
bash scripts/sanitize.sh
bash scripts/fuzz.sh "${ZV_FUZZ_SECONDS:-60}"
