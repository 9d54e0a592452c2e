#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need (as root),
# only when something is missing.
set -euo pipefail
pkgs=(cmake ninja-build make g++ clang libclang-rt-14-dev googletest libbenchmark-dev libinih-dev
      g++-mingw-w64-x86-64 wine wine64 xvfb imagemagick x11-utils)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
