#!/usr/bin/env bash
# Builds the Debian packages (zelvano, zelvano-receiver and, once it is part of the
# build, zelvano-club) with CPack into <build folder>/packages and lists them.
#   scripts/package.sh [build folder, default build-run]
# A folder that is already configured is reused as it is (CI packages its test build:
# the same RelWithDebInfo binaries, stripped into the packages); a new one is configured
# with the programs alone.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-run}
bash scripts/setup.sh package
if [ -f "$dir/CMakeCache.txt" ]; then
  if grep -q '^ZV_SANITIZE:BOOL=ON' "$dir/CMakeCache.txt"; then
    echo "package.sh: $dir is a sanitizer build; package an ordinary one" >&2
    exit 2
  fi
  bash scripts/build.sh "$dir"
else
  bash scripts/build.sh "$dir" -DZV_BUILD_TESTS=OFF
fi
rm -f "$dir"/packages/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
for deb in "$dir"/packages/*.deb; do
  printf '%-50s %8s bytes, installed %s KiB\n' "$deb" "$(stat -c %s "$deb")" \
    "$(dpkg-deb -f "$deb" Installed-Size)"
done
