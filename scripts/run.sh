#!/usr/bin/env bash
# Installs what running needs (Debian 12), builds the programs alone (no tests) in
# build-run, and starts the scoreboard.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
bash scripts/build.sh build-run -DZV_BUILD_TESTS=OFF
exec build-run/bin/zelvano
