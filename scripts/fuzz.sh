#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) in a clang build folder of their own
# and runs each for the given number of seconds (default 60), starting from
# its seed corpus in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [seconds] [target...]      targets: ini profile_line output_parser encoder_args
#
# Prints executions and findings per target. Exits 1 when a target found
# something (the input that shows it is kept in <build>/findings/<target>/,
# the fuzzer's output in <build>/fuzz-logs/<target>.log), 2 when the fuzz
# build cannot be made. With QV_FUZZ_OPTIONAL=1 a missing clang or libFuzzer
# runtime only prints a notice and exits 0. FUZZ_BUILD_DIR picks the build
# folder (default build-fuzz), QV_FUZZ_NO_BUILD=1 skips building.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(ini profile_line output_parser encoder_args)
build="${FUZZ_BUILD_DIR:-build-fuzz}"

unavailable() {
  if [ "${QV_FUZZ_OPTIONAL:-0}" = 1 ]; then
    echo "fuzz: skipped: $1"
    exit 0
  fi
  echo "fuzz: $1" >&2
  exit 2
}

if [ "${QV_FUZZ_NO_BUILD:-0}" != 1 ]; then
  command -v clang++ >/dev/null || unavailable "clang++ is not installed (Debian package clang)"
  probe="$(mktemp -d)"
  trap 'rm -rf "$probe"' EXIT
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' > "$probe/p.cpp"
  clang++ -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" 2>/dev/null ||
    unavailable "the libFuzzer runtime does not link (Debian package libclang-rt-14-dev)"

  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  CC=clang CXX=clang++ cmake -S . -B "$build" -DQV_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
  cmake --build "$build" -j "$(nproc)" --target qv_fuzzers >/dev/null
fi

mkdir -p "$build/fuzz-logs"
found=0
for t in "${targets[@]}"; do
  bin="$build/fuzz/fuzz_$t"
  [ -x "$bin" ] || { echo "fuzz: no such target: $t" >&2; exit 2; }
  corpus="$build/fuzz-corpus/$t"
  findings="$build/findings/$t"
  log="$build/fuzz-logs/$t.log"
  mkdir -p "$corpus" "$findings"
  before="$(ls "$findings" | wc -l)"
  # New inputs go to the first folder; the seeds are only read.
  set +e
  "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$t" > "$log" 2>&1
  rc=$?
  set -e
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  # Without final figures (a finding), the last status line gives the count.
  [ -n "$runs" ] || runs="$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -1)"
  secs="$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)"
  after="$(ls "$findings" | wc -l)"
  if [ "$rc" -ne 0 ] || [ "$after" -gt "$before" ]; then
    found=1
    echo "fuzz_$t: FINDING after ${runs:-?} executions (exit $rc); see $log"
    grep -m1 -E "invariant broken|ERROR: |runtime error" "$log" | sed 's/^/  /' || true
    ls -t "$findings" | head -n 1 | sed "s|^|  input: $findings/|"
  else
    echo "fuzz_$t: ${runs:-?} executions in ${secs:-$seconds} s, no findings"
  fi
done
exit "$found"
