#!/usr/bin/env bash
# Runs the benchmarks of the bulk loops and compares each figure, as a ratio
# to the plain SQL (or the table files) measured in the same run, with the
# committed bench/baseline.txt. A ratio more than 15 % worse than its
# baseline is flagged, and the script then fails.
#
#   scripts/bench.sh                    every benchmark once
#   ... --runs N                        each benchmark N times; the best ratio counts
#   ... --only statistics|visible|server|server-import   one benchmark only
#                                       (server includes server-import)
#   ... --build-dir DIR                 build folder (default: build beside the sources)
#   ... --update                        writes the figures into bench/baseline.txt
#
# The benchmarks:
#   statistics-20000, statistics-100000   "鞋底统计" without windows / plain SQL
#                                         (tavrel-bench-statistics)
#   visible-*                             the loops in the shown windows at 100,000
#                                         orders / plain SQL (tavrel-bench-visible,
#                                         one pass on a private Xvfb, no import)
#   server-*                              the loops shown on a private PostgreSQL
#                                         server / the same on table files
#                                         (tavrel-bench-server)
#   server-import                         "订单导入" of 10,000 orders without windows
#                                         on a private server / on table files
#                                         (tavrel-bench-import-server)
# Every process the script starts (Xvfb, the benchmarks and the servers they
# start) is stopped by its pid.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir="$top/build"
runs=1
only=""
update=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) dir=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --update) update=1; shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
baseline="$top/bench/baseline.txt"
wants() { [ -z "$only" ] || [ "$only" = "$1" ] || { [ "$only" = server ] && [ "$1" = server-import ]; }; }

targets=()
wants statistics && targets+=(tavrel-bench-statistics)
wants visible && targets+=(tavrel-bench-visible)
wants server && targets+=(tavrel-bench-server)
wants server-import && targets+=(tavrel-bench-import-server)
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j2 --target "${targets[@]}" >/dev/null

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Figures of this run, one "name ours reference" line each; with several
# runs the best ratio of each name is kept.
figures="$work/figures"
: >"$figures"
record() {  # name ours reference
  echo "$1 $2 $3" >>"$figures"
  printf '  %-34s %10.0f ms / %8.0f ms = %6.2f\n' "$1" "$2" "$3" "$(awk -v a="$2" -v b="$3" 'BEGIN { print (b > 0 ? a / b : 0) }')"
}

run_statistics() {
  local orders=$1 out="$work/statistics-$1.txt"
  "$dir/bench/tavrel-bench-statistics" "$orders" >"$out" 2>&1 || { cat "$out"; echo "tavrel-bench-statistics $orders failed" >&2; exit 1; }
  # whole job 6123.4 ms (processor ...), plain SQL 456.7 ms, ratio 13.4
  read -r ours plain < <(sed -n 's/^whole job \([0-9.]*\) ms .*plain SQL \([0-9.]*\) ms.*/\1 \2/p' "$out")
  record "statistics-$orders" "$ours" "$plain"
}

run_visible() {
  local out="$work/visible.txt"
  if [ -z "$xvfb_pid" ]; then
    # shellcheck source=lib/private_xvfb.sh
    . "$top/scripts/lib/private_xvfb.sh"
    start_private_xvfb "$work/xvfb.log" || { echo "Xvfb did not start" >&2; exit 1; }
  fi
  DISPLAY=":$display" QT_QPA_PLATFORM=xcb TAVREL_BENCH_LOOPS_ONLY=1 \
    "$dir/bench/tavrel-bench-visible" --child >"$out" 2>&1 || { cat "$out"; echo "tavrel-bench-visible failed" >&2; exit 1; }
  local key name
  for key in 件数相乘:multiply 标为统计:mark 鞋底统计:statistics; do
    name=${key#*:}
    # <loop> shown N ms   without windows N ms   ratio r   plain SQL N ms (xr)
    read -r shown alone sql < <(grep "^${key%%:*}" "$out" |
      sed -n 's/.* shown *\([0-9.]*\) ms *without windows *\([0-9.]*\) ms.*plain SQL *\([0-9.]*\) ms.*/\1 \2 \3/p' | head -n 1)
    record "visible-$name-shown" "$shown" "$sql"
    record "visible-$name-alone" "$alone" "$sql"
  done
}

run_server() {
  local out="$work/server.txt"
  TAVREL_PG_FSYNC=${TAVREL_PG_FSYNC:-on} "$dir/bench/tavrel-bench-server" >"$out" 2>&1 ||
    { cat "$out"; echo "tavrel-bench-server failed" >&2; exit 1; }
  local key name
  for key in 件数相乘:multiply 标为统计:mark 鞋底统计:statistics; do
    name=${key#*:}
    # <loop> files N ms   server N ms   server/files r
    read -r files server < <(grep "^${key%%:*}" "$out" |
      sed -n 's/.* files *\([0-9.]*\) ms *server *\([0-9.]*\) ms.*/\1 \2/p' | head -n 1)
    record "server-$name" "$server" "$files"
  done
}

run_server_import() {
  local out="$work/server-import.txt"
  TAVREL_PG_FSYNC=${TAVREL_PG_FSYNC:-on} "$dir/bench/tavrel-bench-import-server" 10000 >"$out" 2>&1 ||
    { cat "$out"; echo "tavrel-bench-import-server failed" >&2; exit 1; }
  # import-10000 server N ms / files N ms = r
  read -r server files < <(sed -n 's/^import-10000 server \([0-9.]*\) ms \/ files \([0-9.]*\) ms.*/\1 \2/p' "$out")
  record "server-import" "$server" "$files"
}

for ((run = 1; run <= runs; run++)); do
  echo "run $run of $runs:"
  if wants statistics; then run_statistics 20000; run_statistics 100000; fi
  if wants visible; then run_visible; fi
  if wants server; then run_server; fi
  if wants server-import; then run_server_import; fi
done

# The best ratio of each figure, in the order first measured.
best="$work/best"
awk '{ r = ($3 > 0 ? $2 / $3 : 0); if (!($1 in best) || r < best[$1]) best[$1] = r; if (!($1 in seen)) { seen[$1] = 1; order[n++] = $1 } }
     END { for (i = 0; i < n; i++) printf "%s %.3f\n", order[i], best[order[i]] }' "$figures" >"$best"

echo
printf '%-34s %8s %8s %8s\n' figure ratio baseline change
worse=0
while read -r name ratio; do
  base=$(awk -v n="$name" '$1 == n { print $2 }' "$baseline" 2>/dev/null || true)
  if [ -z "$base" ]; then
    printf '%-34s %8.2f %8s %8s\n' "$name" "$ratio" "-" "new"
    continue
  fi
  read -r change flag < <(awk -v r="$ratio" -v b="$base" 'BEGIN {
    c = (b > 0 ? (r / b - 1) * 100 : 0); printf "%+.0f%% %s\n", c, (r > b * 1.15 ? "WORSE" : "") }')
  [ "$flag" = "WORSE" ] && worse=$((worse + 1))
  printf '%-34s %8.2f %8.2f %8s %s\n' "$name" "$ratio" "$base" "$change" "${flag:-}"
done <"$best"

if [ "$update" = 1 ]; then
  {
    echo "# Ratios of the bulk loops to the plain SQL (server: to the table files)"
    echo "# measured in the same run; written by scripts/bench.sh --update."
    # Figures not measured this time keep their baseline.
    if [ -f "$baseline" ]; then
      grep -v '^#' "$baseline" | while read -r name ratio; do
        if [ -n "$name" ] && ! grep -q "^$name " "$best"; then echo "$name $ratio"; fi
      done
    fi
    cat "$best"
  } >"$work/baseline.new"
  mv "$work/baseline.new" "$baseline"
  echo "baseline written: $baseline"
fi

if [ "$worse" -gt 0 ]; then
  echo "$worse figure(s) more than 15 % worse than the baseline" >&2
  exit 1
fi
