#!/usr/bin/env bash
# Builds the Debian package and checks its fields and documents, and that every
# library its programs load comes from a package its Depends reaches. Then
# unpacks it into a scratch root and starts the unpacked menu launcher there
# with a scratch home under a private X server: the tables are made, the main
# window maps, the print template reaches the user's data folder, a second
# start keeps what the user has, and what the launcher cannot do is shown in
# a box.
#
#   package_test.sh BUILD_DIR SOURCE_DIR [CPACK]
set -uo pipefail

build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
cpack=${3:-cpack}
# shellcheck source=../../scripts/lib/private_xvfb.sh
. "$source/scripts/lib/private_xvfb.sh"
scratch=$(mktemp -d)
xvfb_pid=""
program_pid=""
failures=0

cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
not() { ! "$@"; }
die() { echo "FAILED: $*"; exit 1; }

# --- the package -----------------------------------------------------------
"$cpack" --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; die "cpack"; }
deb=$(ls "$scratch"/package/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || die "no .deb made"
echo "package: $(basename "$deb")"

# The package names in a dependency field, without versions, alternatives
# and architectures.
names_in() { sed 's/([^)]*)//g; s/[|,]/ /g; s/:[a-z0-9]*//g' <<<"$1"; }
version=$(dpkg-deb -f "$deb" Version)
maintainer=$(dpkg-deb -f "$deb" Maintainer)
depends=$(dpkg-deb -f "$deb" Depends)
# Named by hand (needed when running, linked by nothing), and found by
# dpkg-shlibdeps in what the programs load.
for needed in libreoffice-calc libreoffice-l10n-zh-cn qt6-qpa-plugins qt6-translations-l10n fonts-wqy-microhei \
              libqt6widgets6 libsqlite3-0 libjpeg62-turbo pxlib1 libuno-cppu3 libc6 libstdc++6; do
  check "depends on $needed" grep -qxF "$needed" <<<"$(names_in "$depends" | tr -s ' ' '\n')"
done

root="$scratch/root"
dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x"
for f in usr/bin/tavrel usr/bin/tavrel-tables usr/bin/tavrel-start usr/libexec/tavrel/tavrel-notice; do
  check "$f is a program" test -x "$root/$f"
done
doc="$root/usr/share/doc/tavrel"
check "copyright in the machine-readable format" grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright"
gzip -dc "$doc/changelog.gz" >"$scratch/changelog" 2>/dev/null || fail "changelog.gz unreadable"
check "latest changelog entry is version $version" test "$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)" = "$version"
check "latest changelog entry signed by the maintainer" test "$(dpkg-parsechangelog -l "$scratch/changelog" -S Maintainer)" = "$maintainer"

# --- every library a packaged program loads comes with the package ------------
# Each NEEDED entry of each packaged ELF file, resolved as the loader resolves
# it here, must belong to a package that Depends names, directly or through
# the dependencies of what it names (virtual packages through their providers).
declare -A depends_of providers reachable
while IFS=$'\t' read -r pkg pkg_depends pkg_provides; do
  depends_of[$pkg]=$pkg_depends
  for p in $(names_in "$pkg_provides"); do providers[$p]+=" $pkg"; done
done < <(dpkg-query -W -f='${Package}\t${Depends}, ${Pre-Depends}\t${Provides}\n')
queue=($(names_in "$depends"))
while [ "${#queue[@]}" -gt 0 ]; do
  p=${queue[0]}; queue=("${queue[@]:1}")
  [ -n "${reachable[$p]-}" ] && continue
  reachable[$p]=1
  queue+=(${providers[$p]-} $(names_in "${depends_of[$p]-}"))
done
owner_of() {  # the installed package holding a file (the path as dpkg lists it)
  local path owner
  for path in "$1" "${1#/usr}" "/usr$1"; do
    owner=$(dpkg-query -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1) && [ -n "$owner" ] && { echo "$owner"; return; }
  done
}
elf_count=0
while IFS= read -r -d '' file; do
  readelf -h "$file" >/dev/null 2>&1 || continue
  elf_count=$((elf_count + 1))
  resolved=$(ldd "$file" 2>/dev/null)
  for lib in $(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path=$(awk -v lib="$lib" '$1 == lib && $2 == "=>" && $3 ~ /^\// {print $3}
                               $1 ~ "^/.*/" lib "$" {print $1}' <<<"$resolved")
    owner=$([ -n "$path" ] && owner_of "$path")
    if [ -z "$owner" ]; then
      fail "${file#"$root"}: $lib is not a packaged library here"
    elif [ -z "${reachable[$owner]-}" ]; then
      fail "${file#"$root"}: $lib ($owner) is not reached from Depends"
    fi
  done
done < <(find "$root" -type f -print0)
check "libraries of $elf_count programs checked" test "$elf_count" -ge 3

entry="$root/usr/share/applications/tavrel.desktop"
check "desktop entry named 鞋底统计" grep -qx 'Name=鞋底统计' "$entry"
check "desktop entry has a generic name" grep -q '^GenericName=.' "$entry"
check "desktop entry in Office" grep -q '^Categories=.*Office;' "$entry"
check "desktop entry starts the launcher" grep -qx 'Exec=tavrel-start' "$entry"
check "icon shipped" test -s "$root/usr/share/icons/hicolor/256x256/apps/tavrel.png"
check "shared folder for the print template" test -d "$root/usr/share/tavrel/打印"
template_source="$source/resources/print/鞋底打印.xls"
shipped_template="$root/usr/share/tavrel/打印/鞋底打印.xls"
if [ -f "$template_source" ]; then
  check "print template shipped" cmp -s "$template_source" "$shipped_template"
else
  # Sources without a template yet: a stand-in shows the first-use copy.
  printf 'shipped template\n' >"$shipped_template"
fi

# --- a private X server ------------------------------------------------------
start_private_xvfb "$scratch/xvfb.log" ||
  { cat "$scratch/xvfb.log"; die "no X server could be started"; }

home="$scratch/home"
mkdir -p "$home"
tables="$home/Tavrel"
userdata="$home/.local/share/Tavrel"

# Starts the unpacked launcher as a user with the scratch home would, with
# the arguments given.
start_program() {
  env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u QT_QPA_PLATFORM HOME="$home" DISPLAY=":$display" \
    XDG_RUNTIME_DIR="$scratch/runtime" \
    "$root/usr/bin/tavrel-start" "$@" >>"$scratch/program.log" 2>&1 &
  program_pid=$!
}

# True once the main window, captioned with the package's version, is mapped
# and viewable.
main_window_viewable() {
  local id
  id=$(DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | grep -o "^ *0x[0-9a-f]* \"Tavrel $version\"" | head -n 1 |
       awk '{print $1}')
  [ -n "$id" ] && DISPLAY=":$display" xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# Waits until CHECK holds, looking again every tenth of a second. The minute
# is only a safety net for a window that never comes (or never goes); a
# launcher that has ended ends the wait at once, unless the check asks for
# nothing to be left on the screen.
wait_until() {  # wait_until [--while-running] CHECK
  local while_running="" ceiling=$((SECONDS + 60))
  [ "$1" = --while-running ] && { while_running=yes; shift; }
  until "$@"; do
    [ -z "$while_running" ] || kill -0 "$program_pid" 2>/dev/null || return 1
    [ "$SECONDS" -lt "$ceiling" ] || return 1
    sleep 0.1
  done
}

main_window_gone() { wait_until not main_window_viewable; }
wait_for_main_window() { wait_until --while-running main_window_viewable; }

# True once a box captioned "Tavrel" (the program's and the launcher's
# messages) is shown.
box_shown() { DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | grep -q '"Tavrel"'; }
wait_for_box() { wait_until --while-running box_shown; }

stop_program() {
  kill "$program_pid" 2>/dev/null
  wait "$program_pid" 2>/dev/null
  program_pid=""
}

mkdir -p "$scratch/runtime" && chmod 700 "$scratch/runtime"

# --- first start ---------------------------------------------------------------
start_program
check "first start: main window maps" wait_for_main_window
for t in shoes.db dd.db xdtj.db; do
  check "first start: $tables/$t made" test -s "$tables/$t"
done
check "first start: user data folder made" test -d "$userdata"
check "first start: nothing kept beside the program" test ! -e "$root/usr/bin/打印"
check "first start: print template in the user data folder" cmp -s "$shipped_template" "$userdata/打印/鞋底打印.xls"
stop_program
check "first start: stopping the launcher ends the program" main_window_gone

# --- the user's own data ----------------------------------------------------------
rm -f "$tables"/*.db
"$root/usr/bin/tavrel-tables" demo "$tables" >/dev/null || die "demo tables"
before=$(cd "$tables" && cat shoes.db dd.db xdtj.db | md5sum)
mkdir -p "$userdata/打印"
printf 'own template\n' >"$userdata/打印/鞋底打印.xls"
printf 'A100\r\n' >"$userdata/CTMLIST.TXT"

# --- second start -----------------------------------------------------------------
start_program
check "second start: main window maps" wait_for_main_window
stop_program
after=$(cd "$tables" && cat shoes.db dd.db xdtj.db | md5sum)
check "second start: tables kept" test "$before" = "$after"
check "second start: own print template kept" grep -qx 'own template' "$userdata/打印/鞋底打印.xls"
check "second start: model list kept" grep -q 'A100' "$userdata/CTMLIST.TXT"

# --- a folder of the user's choice ----------------------------------------------------
chosen="$home/工厂数据"
start_program "$chosen"
check "chosen folder: main window maps" wait_for_main_window
stop_program
for t in shoes.db dd.db xdtj.db; do
  check "chosen folder: $t made" test -s "$chosen/$t"
done

# --- a folder missing some of its tables: nothing is made over the rest --------------
partial="$home/缺表"
mkdir -p "$partial"
cp "$tables/dd.db" "$partial/dd.db"
start_program "$partial"
check "missing tables: reported" wait_for_box
stop_program
check "missing tables: none made" test ! -e "$partial/shoes.db" -a ! -e "$partial/xdtj.db"
check "missing tables: the one there kept" cmp -s "$tables/dd.db" "$partial/dd.db"

# --- what the launcher cannot do is shown in a box -----------------------------------
# Each case: what is broken, the folder asked for, and the message expected.
printf 'not a folder\n' >"$home/一个文件"
launcher_cases=(
  "-|$home/一个文件/数据|无法建立数据文件夹“$home/一个文件/数据”。"
  "usr/bin/tavrel-tables|$home/新数据|无法在数据文件夹“$home/新数据”中建立数据表。"
  "usr/bin/tavrel|$tables|鞋底统计程序无法启动，请重新安装。"
)
for case in "${launcher_cases[@]}"; do
  IFS='|' read -r broken folder message <<<"$case"
  [ "$broken" = - ] || chmod a-x "$root/$broken"
  start_program "$folder"
  check "launcher: \"$message\" shown" wait_for_box
  check "launcher: \"$message\" written" grep -qF "tavrel-start: $message" "$scratch/program.log"
  check "launcher: no main window after \"$message\"" not main_window_viewable
  stop_program
  [ "$broken" = - ] || chmod a+x "$root/$broken"
done
check "launcher: no tables made where the table tool failed" test ! -e "$home/新数据/shoes.db"

if [ "$failures" -gt 0 ]; then
  echo "--- program output"; cat "$scratch/program.log"
  exit 1
fi
echo "all checks passed"
