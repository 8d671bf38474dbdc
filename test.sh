#!/usr/bin/env bash
# Sets up a fresh Debian machine (missing packages only), builds everything
# into build/ and runs the whole test suite through ctest.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
klaptor_install_deps
klaptor_build
cd build
ctest --output-on-failure -j2 "$@"
