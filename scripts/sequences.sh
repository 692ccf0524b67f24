#!/usr/bin/env bash
# Runs the sequence tester (tests/sequences) with fresh seeds, one after the
# other, on the table files and on a private PostgreSQL server, for a while.
#
#   scripts/sequences.sh MINUTES            run for that many minutes
#   ... --build-dir DIR                     build folder (default: build beside the sources)
#   ... --steps N                           steps of each sequence (default 300)
#   ... --store TableFiles|Server           one store only (two runs, one per
#                                           store, can then go side by side)
#
# Each seed's run is shrunk when it fails; its whole output is kept in
# DIR/sequences/failed-<seed>-<store>.log and the next seed follows. The
# server is started for the run (scripts/lib/private_pg.sh) and stopped, by
# its pid, when the script ends. Fails when any seed failed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
minutes=10
dir="$top/build"
steps=300
stores="TableFiles Server"
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) dir=$2; shift 2 ;;
    --steps) steps=$2; shift 2 ;;
    --store) stores=$2; shift 2 ;;
    *) minutes=$1; shift ;;
  esac
done

cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j2 --target tavrel_sequence_tests >/dev/null
program="$dir/tests/sequences/tavrel_sequence_tests"

work="$dir/sequences-${stores// /-}"
mkdir -p "$work"
"$top/scripts/lib/private_pg.sh" start --replace "$work/pg" >/dev/null
trap '"$top/scripts/lib/private_pg.sh" stop --remove "$work/pg" >/dev/null 2>&1 || true' EXIT
export TAVREL_TEST_PG_URI_FILE="$work/pg/uri"
export QT_QPA_PLATFORM=offscreen

end=$(( $(date +%s) + minutes * 60 ))
seeds=0
failed=0
played=0
while [ "$(date +%s)" -lt "$end" ]; do
  seed=$(od -An -N6 -tu8 /dev/urandom | tr -d ' ')
  for store in $stores; do
    log="$work/run.log"
    if TAVREL_SEQUENCE_SEED=$seed TAVREL_SEQUENCE_RUNS=1 TAVREL_SEQUENCE_STEPS=$steps \
        "$program" --gtest_filter="*RandomRuns*/$store" >"$log" 2>&1; then
      :
    else
      failed=$((failed + 1))
      cp "$log" "$work/failed-$seed-$store.log"
      echo "seed $seed on $store: a difference; see $work/failed-$seed-$store.log"
      sed -n '/^shortest sequence/,/^after its last step/p' "$log" | head -60
    fi
    played=$((played + $( (grep -o '^[0-9]* steps played' "$log" || true) | awk '{n += $1} END {print n + 0}')))
  done
  seeds=$((seeds + 1))
done
echo "$seeds seeds of $steps steps on $stores, $played steps played; $failed runs found a difference"
[ "$failed" -eq 0 ]
