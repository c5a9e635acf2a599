#!/usr/bin/env bash
# Installs what building, running and testing Zelvano needs on Debian 12, when missing.
set -euo pipefail
pkgs=(cmake g++ make qt6-base-dev qt6-svg-dev qt6-translations-l10n qt6-qpa-plugins
      libgl-dev fonts-dejavu-core xvfb xauth xdotool imagemagick poppler-utils
      clang libclang-rt-14-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi
