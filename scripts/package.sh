#!/usr/bin/env bash
# Installs what is needed, builds the program and the table tool and makes the
# Debian package build/tavrel_<version>_<arch>.deb.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build" -j"$(nproc)" --target tavrel tavrel-tables tavrel-notice
cd "$top/build"
cpack -G DEB
ls -1 "$top"/build/tavrel_*.deb
