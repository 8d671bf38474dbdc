#!/usr/bin/env bash
# Sets up a fresh Debian machine (missing packages only), builds Klaptor into
# build/ and runs it with the given arguments, e.g. ./run.sh --render out.gif
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
klaptor_install_deps
klaptor_build klaptor klaptor-gif
exec ./build/klaptor "$@"
