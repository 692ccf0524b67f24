#!/usr/bin/env bash
# Installs the built package where nothing else is: a fresh Debian 12 root
# (debootstrap minbase, from this machine's Debian apt sources), with apt and
# without recommended packages. There a new user starts the menu launcher under
# a private X server: the main window maps, the three tables and the user's
# copy of the print template are made, a second start keeps them, the table
# tool runs, and a folder that cannot be made is reported in a box.
#
#   sudo scripts/check-clean-install.sh [PACKAGE.deb]    (default: build/tavrel_*.deb)
#
# Needs root (debootstrap, chroot, mount), network access to the apt sources
# and about 2 GB in the temporary folder; everything is removed afterwards.
set -uo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/private_xvfb.sh
. "$top/scripts/lib/private_xvfb.sh"
[ "$(id -u)" -eq 0 ] || { echo "check-clean-install.sh must run as root" >&2; exit 1; }
deb=${1:-$(ls -t "$top"/build/tavrel_*.deb 2>/dev/null | head -n 1)}
[ -f "$deb" ] || { echo "no package; make one with scripts/package.sh" >&2; exit 1; }
deb=$(readlink -f "$deb")
version=$(dpkg-deb -f "$deb" Version)
started=$(date +%s)

for tool in debootstrap Xvfb xwininfo; do
  command -v "$tool" >/dev/null || { echo "$tool missing (apt-get install debootstrap xvfb x11-utils)" >&2; exit 1; }
done

work=$(mktemp -d)
root="$work/root"
mounts=()
xvfb_pid=""
program_pid=""
failures=0

cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  local i busy=0
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" || busy=1
  done
  if [ "$busy" -eq 0 ]; then
    rm -rf --one-file-system "$work"
  else
    echo "left $work in place: something is still mounted in it" >&2
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
die() { echo "FAILED: $*"; exit 1; }
step() { echo "--- $* ($(($(date +%s) - started)) s)"; }

# --- the machine's Debian 12 sources --------------------------------------------------
# "URI SUITE COMPONENTS..." for every enabled binary source, from one-line
# .list files and deb822 .sources files alike; only the bookworm suites.
apt_sources() {
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    sed 's/\[[^]]*\]//' | awk '$1 == "deb" { $1 = ""; print substr($0, 2) }'
  cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '
    function flush(  u, s, n, m, i, j) {
      if (types ~ /(^| )deb( |$)/ && tolower(enabled) != "no") {
        n = split(uris, u, " "); m = split(suites, s, " ")
        for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) print u[i], s[j], components
      }
      types = uris = suites = components = enabled = ""
    }
    /^#/ { next }
    /^[ \t]*$/ { flush(); next }
    { field = tolower($1); sub(/^[^:]*:[ \t]*/, "") }
    field == "types:" { types = $0 } field == "uris:" { uris = $0 }
    field == "suites:" { suites = $0 } field == "components:" { components = $0 }
    field == "enabled:" { enabled = $0 }
    END { flush() }'
}
sources=$(apt_sources | awk '$2 ~ /^bookworm/' | sort -u)
mirror=$(awk '$2 == "bookworm" { print $1; exit }' <<<"$sources")
[ -n "$mirror" ] || die "no Debian 12 (bookworm) source in /etc/apt/sources.list*"

# --- a clean root ------------------------------------------------------------------------
step "debootstrap minbase bookworm from $mirror into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
  { tail -n 20 "$work/debootstrap.log"; die "debootstrap"; }
mount -t proc proc "$root/proc" && mounts+=("$root/proc") || die "mount proc"
sed "s/^/deb /" <<<"$sources" >"$root/etc/apt/sources.list"
# Nothing installed may start a service.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d" && chmod +x "$root/usr/sbin/policy-rc.d"

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/" || die "copy the package"
{ in_root apt-get update -q && in_root apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")"; } \
  >"$work/apt.log" 2>&1 || { tail -n 30 "$work/apt.log"; die "apt-get install"; }
grep -E '^[0-9]+ upgraded, [0-9]+ newly installed' "$work/apt.log"
check "the office's Chinese language pack installed" in_root dpkg-query -W libreoffice-l10n-zh-cn

# --- a new user on a private X server ------------------------------------------------
in_root useradd --create-home --shell /bin/bash clerk || die "useradd"
home="$root/home/clerk"

start_private_xvfb "$work/xvfb.log" ||
  { cat "$work/xvfb.log"; die "no X server could be started"; }
# The X server's socket in the abstract namespace reaches into the root.

# Runs a command in the root as the new user, on the private X server.
clerk=(chroot --userspec=clerk:clerk "$root" env -i HOME=/home/clerk USER=clerk LOGNAME=clerk LANG=C.UTF-8
       PATH=/usr/local/bin:/usr/bin:/bin DISPLAY=":$display")
# chroot and env hand over to the launcher itself: its process is the one
# started here.
start_launcher() {
  "${clerk[@]}" tavrel-start "$@" >>"$work/program.log" 2>&1 &
  program_pid=$!
}
stop_launcher() {
  kill "$program_pid" 2>/dev/null
  wait "$program_pid" 2>/dev/null
  program_pid=""
}
window_shown() {  # window_shown CAPTION
  DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | grep -qF " \"$1\""
}
# The waits below look again every tenth of a second; their ceilings are only
# a safety net for a window that never comes or never goes.
window_gone() {  # window_gone CAPTION
  local ceiling=$((SECONDS + 60))
  while window_shown "$1"; do
    [ "$SECONDS" -lt "$ceiling" ] || return 1
    sleep 0.1
  done
}
wait_for_window() {  # wait_for_window CAPTION: while the launcher runs
  local ceiling=$((SECONDS + 120))
  until window_shown "$1"; do
    kill -0 "$program_pid" 2>/dev/null || return 1
    [ "$SECONDS" -lt "$ceiling" ] || return 1
    sleep 0.1
  done
}
tables_sum() { (cd "$home/Tavrel" && cat shoes.db dd.db xdtj.db | md5sum); }

step "first start of tavrel-start as a new user"
start_launcher
check "first start: main window \"Tavrel $version\" maps" wait_for_window "Tavrel $version"
for t in shoes.db dd.db xdtj.db; do
  check "first start: ~/Tavrel/$t made" test -s "$home/Tavrel/$t"
done
check "first start: tables belong to the user" test "$(stat -c %U "$home/Tavrel/shoes.db" 2>/dev/null)" = "$(stat -c %U "$home")"
template="打印/鞋底打印.xls"
check "first start: print template copied for the user" cmp -s "$root/usr/share/tavrel/$template" "$home/.local/share/Tavrel/$template"
stop_launcher
check "stopping the launcher ends the program" window_gone "Tavrel $version"

step "second start"
before=$(tables_sum)
printf 'own template\n' >"$home/.local/share/Tavrel/$template"
start_launcher
check "second start: main window maps" wait_for_window "Tavrel $version"
stop_launcher
check "second start: tables kept" test "$(tables_sum)" = "$before"
check "second start: the user's template kept" grep -qx 'own template' "$home/.local/share/Tavrel/$template"

step "the table tool and the launcher's message box"
check "tavrel-tables runs" "${clerk[@]}" tavrel-tables create /home/clerk/其他数据
check "tavrel-tables made the tables" test -s "$home/其他数据/xdtj.db"
printf 'not a folder\n' >"$home/一个文件"
start_launcher /home/clerk/一个文件/数据
check "a folder that cannot be made is reported in a box" wait_for_window "Tavrel"
stop_launcher

leftover=$(for p in /proc/[0-9]*; do
  [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && echo "${p#/proc/}: $(tr '\0' ' ' <"$p/cmdline")"
done)
check "no process left running in the clean root" test -z "$leftover"
[ -z "$leftover" ] || echo "$leftover"

step "done"
if [ "$failures" -gt 0 ]; then
  echo "--- program output"; cat "$work/program.log"
  exit 1
fi
echo "clean install checked in $(($(date +%s) - started)) s"
