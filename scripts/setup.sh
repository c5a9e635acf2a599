#!/usr/bin/env bash
# Installs what Zelvano needs on Debian 12, when missing.
#   scripts/setup.sh run      what building and running the programs needs
#   scripts/setup.sh package  that, plus what building the Debian packages needs
#   scripts/setup.sh test     all that, plus the tools the tests use (the default)
set -euo pipefail
what=${1:-test}
run_pkgs=(cmake g++ make qt6-base-dev qt6-svg-dev qt6-translations-l10n qt6-qpa-plugins
          libgl-dev fonts-dejavu-core libxcb-xkb-dev
          qt6-multimedia-dev qt6-websockets-dev qt6-httpserver-dev
          libqt6sql6-sqlite libqt6sql6-psql)
package_pkgs=(dpkg-dev)
test_pkgs=(xvfb xauth xdotool imagemagick poppler-utils clang libclang-rt-14-dev
           postgresql chromium chromium-driver sqlite3
           fakeroot lintian appstream desktop-file-utils curl)
case $what in
  run) pkgs=("${run_pkgs[@]}") ;;
  package) pkgs=("${run_pkgs[@]}" "${package_pkgs[@]}") ;;
  test) pkgs=("${run_pkgs[@]}" "${package_pkgs[@]}" "${test_pkgs[@]}") ;;
  *) echo "setup.sh: 'run', 'package' or 'test', not '$what'" >&2; exit 2 ;;
esac
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi
