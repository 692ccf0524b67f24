#!/usr/bin/env bash
# The menu launcher's arguments: a folder is made and the program started in
# it with no argument; a server's URI reaches the program unchanged, with no
# folder made and no table tool run. The program and the table tool are
# stand-ins that write down how they were started.
#
#   launcher_test.sh SOURCE_DIR
set -uo pipefail

source=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAILED: $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}

bin="$scratch/bin"
mkdir -p "$bin" "$scratch/home"
cp "$source/packaging/tavrel-start" "$bin/" && chmod +x "$bin/tavrel-start"
printf '#!/bin/sh\nprintf "%%s|%%s\\n" "$PWD" "$*" >>"%s"\n' "$scratch/program.log" >"$bin/tavrel"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n' "$scratch/tool.log" >"$bin/tavrel-tables"
chmod +x "$bin/tavrel" "$bin/tavrel-tables"

# Each case: the launcher's argument (- for none), the program's working
# folder and arguments, what the table tool was asked.
home="$scratch/home"
uri='postgresql://clerk@db.factory:5432/tavrel?sslmode=require&application_name=x y'
cases=(
  "-|$home/Tavrel||create ."
  "$home/工厂数据|$home/工厂数据||create ."
  "$uri|$home|$uri|"
  "POSTGRES://clerk@db/tavrel|$home|POSTGRES://clerk@db/tavrel|"
)
for case in "${cases[@]}"; do
  IFS='|' read -r argument folder arguments tool <<<"$case"
  rm -f "$scratch/program.log" "$scratch/tool.log"
  if [ "$argument" = - ]; then
    HOME="$home" "$bin/tavrel-start"
  else
    HOME="$home" "$bin/tavrel-start" "$argument"
  fi
  check "$argument: program started" "$folder|$arguments" "$(cat "$scratch/program.log" 2>/dev/null)"
  check "$argument: table tool" "$tool" "$(cat "$scratch/tool.log" 2>/dev/null)"
done
check "no folder made for a server" "" "$(ls "$home" | grep -v -e '^Tavrel$' -e '^工厂数据$')"

[ "$failures" -eq 0 ]
