#!/usr/bin/env bash
# Installs what is missing, builds from scratch, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export BUILD_DIR="${BUILD_DIR:-build-test}"
rm -rf "$BUILD_DIR"
scripts/build.sh
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)"
