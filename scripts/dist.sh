#!/usr/bin/env bash
# `make dist`: both DLLs built, then setup.exe of the example toolbar
# (build/dist/setup.exe). Another toolbar: installer/build-setup.sh FOLDER.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh windows windows32
installer/build-setup.sh --icons build/windows/examples/Icons.bin --out build/dist/setup.exe examples
