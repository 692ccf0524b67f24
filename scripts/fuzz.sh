#!/usr/bin/env bash
# Builds the statement fuzzer with clang, libFuzzer and the address and
# undefined-behaviour sanitizers in a build folder of its own, and runs it.
#
#   scripts/fuzz.sh MINUTES               run for that many minutes
#   scripts/fuzz.sh --seconds N           run for N seconds (the test suite's short run)
#   ... --build-dir DIR                   build folder (default: build-fuzz beside the sources)
#
# The seed corpus is written by the fuzzer from the statements the program
# builds; what it finds is kept in DIR/corpus for the next run. Ends with
# libFuzzer's figures (the whole output is in DIR/fuzz.log); fails on a crash, an input running longer than 10 s,
# a sanitizer report, an SQLite error or a search finding the wrong records
# (the input is then in DIR/artifacts).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=60
dir="$top/build-fuzz"
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --build-dir) dir=$2; shift 2 ;;
    *) seconds=$(( $1 * 60 )); shift ;;
  esac
done

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTAVREL_FUZZ=ON \
  "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
  "${launcher[@]}" >/dev/null
cmake --build "$dir" -j2 --target tavrel-fuzz-statements >/dev/null

mkdir -p "$dir/corpus" "$dir/artifacts"
cd "$dir"
export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
TAVREL_FUZZ_SEEDS="$dir/seeds" "$dir/fuzz/tavrel-fuzz-statements" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 -print_final_stats=1 \
  -dict="$top/fuzz/statements.dict" -artifact_prefix="$dir/artifacts/" \
  "$dir/corpus" "$dir/seeds" >"$dir/fuzz.log" 2>&1 || status=$?
grep -v -E '^(#[0-9]+.*(NEW|REDUCE)|\s+NEW_FUNC|Broken filename)' "$dir/fuzz.log" || true
if [ "$status" -ne 0 ]; then
  echo "fuzzing found a fault (status $status); the input is in $dir/artifacts/" >&2
fi
exit "$status"
