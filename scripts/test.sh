#!/usr/bin/env bash
# Installs what is missing, builds from scratch, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export BUILD_DIR="${BUILD_DIR:-build-test}"
rm -rf "$BUILD_DIR" "$BUILD_DIR-fuzz"
scripts/build.sh
(cd "$BUILD_DIR" && ctest --output-on-failure -j "$(nproc)")
# Every fuzz target for a few seconds, in a clang build folder of its own.
FUZZ_BUILD_DIR="$BUILD_DIR-fuzz" QV_FUZZ_OPTIONAL=1 scripts/fuzz.sh 5
