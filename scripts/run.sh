#!/usr/bin/env bash
# Installs what is missing, builds, and starts the scoreboard.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
exec build/bin/zelvano
