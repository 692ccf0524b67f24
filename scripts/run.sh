#!/usr/bin/env bash
# Installs what is needed, builds, makes sure the data folder holds the three
# tables and starts the program there.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
data="${TAVREL_DATA:-$top/data}"
mkdir -p "$data"
for t in shoes.db dd.db xdtj.db; do
  if [ ! -e "$data/$t" ]; then
    "$top/build/tools/tavrel-tables" create "$data"
    break
  fi
done
cd "$data"
exec "$top/build/src/app/tavrel"
