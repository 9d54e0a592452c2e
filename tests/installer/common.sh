# The set-up the installer tests share, sourced by each with its arguments
# (BUILD_DIR TEST_NAME): the test prefix and display, the example toolbar's
# names and keys, registry queries in either view, snapshots of the files and
# keys an installation touches, setup.exe built, silent install and
# uninstall, and the checks that nothing is left.
set -euo pipefail
export LC_ALL=C
build=$(cd "$1" && pwd)
test_name=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
run=$here/cmake/wine-run.sh
build32=${KG_WIN32_BUILD:-$(dirname "$build")/windows32}
export KG_WIN_BUILD=$build
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
if [ -z "${DISPLAY:-}" ]; then DISPLAY=$(cat "$build/xvfb.display" 2>/dev/null || true); fi
export DISPLAY
[ -n "$DISPLAY" ] || { echo "installer: no display (run scripts/wine-env.sh start)" >&2; exit 1; }

fail() { echo "installer: FAIL: $*" >&2; exit 1; }
say() { echo "installer: $*"; }
. "$here/scripts/wine-loader.sh"

name="Kestrelgrove Example Toolbar"
file=Kestrelgrove
install_win="C:\\Program Files\\$name"
install_unix="$WINEPREFIX/drive_c/Program Files/$name"
wine_user=$(id -un)
clsid=$(sed -n 's/.*ClassIdText\[\] = "\({[0-9A-F-]*}\)";.*/\1/p' "$here/config/Settings.h")
[ -n "$clsid" ] || fail "class identifier not found in config/Settings.h"
toolbar_key="HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\$clsid"
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name"
class_key="HKCR\\CLSID\\$clsid"
toolbar_list="HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar"
explorer_bars="HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars"
pending_key="HKLM\\System\\CurrentControlSet\\Control\\Session Manager"

work=$build/installer-test/$test_name
rm -rf "$work"
mkdir -p "$work"

# Whether 32-bit programs run here: then the 32-bit registration is checked too.
can32=0
if [ -n "$KG_WINE32" ] && "$here/scripts/can-run-32bit.sh"; then can32=1; fi

reg() {  # reg ARGS... VIEW: the output without CRs; exit status of reg.exe
  local view=$1; shift
  "$run" reg "$@" "/reg:$view" </dev/null 2>&1 | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
# The data of one string value, or nothing (status 1) when it is missing.
value() {  # VIEW KEY NAME
  local out
  if [ "$3" = "(Default)" ]; then
    out=$(reg "$1" query "$2" /ve) || return 1
  else
    out=$(reg "$1" query "$2" /v "$3") || return 1
  fi
  awk -v p="    $3    REG_" 'index($0, p) == 1 {
      rest = substr($0, length(p) + 1); i = index(rest, "    ")
      print (i ? substr(rest, i + 4) : ""); found = 1; exit
    } END { exit !found }' <<<"$out"
}
expect_value() {  # VIEW KEY NAME DATA
  local got
  got=$(value "$1" "$2" "$3") || fail "$2 \"$3\" missing in the $1-bit view"
  [ "$got" = "$4" ] || fail "$2 \"$3\" in the $1-bit view is \"$got\", expected \"$4\""
}
expect_no_key() {  # VIEW KEY
  if reg "$1" query "$2" >/dev/null; then fail "$2 is still there in the $1-bit view"; fi
}
expect_no_value() {  # VIEW KEY NAME
  if value "$1" "$2" "$3" >/dev/null; then fail "$2 value \"$3\" is still there in the $1-bit view"; fi
}

# Everything an installation may touch: the files and the keys of both views.
snapshot() {
  local view key out
  echo "-- files under C:\\Program Files and C:\\Program Files (x86) named after the toolbar, and the temporary folder"
  (cd "$WINEPREFIX/drive_c" && find "Program Files/$name" "Program Files (x86)/$name" users/"$wine_user"/Temp \
      -printf '%y %10s %p\n' 2>/dev/null | sort -k3) || true
  for view in 64 32; do
    echo "-- registry, $view-bit view"
    for key in "$class_key" "$toolbar_key" "$uninstall_key"; do
      out=$(reg "$view" query "$key" /s) && sed '/^$/d' <<<"$out" || echo "$key: (no such key)"
    done
    for key in "$toolbar_list" "$explorer_bars"; do
      out=$(reg "$view" query "$key" /v "$clsid") && sed '/^$/d' <<<"$out" || echo "$key: (no value $clsid)"
    done
  done
  echo "-- pending file operations"
  out=$(reg 64 query "$pending_key" /v PendingFileRenameOperations) && sed '/^$/d' <<<"$out" || echo "(none)"
}
show() {  # TITLE: a snapshot, printed and kept as the last one
  echo "==== $1"
  snapshot | tee "$work/snapshot.txt"
}
# The registry part of the last snapshot, for comparing states.
registry_state() { sed -n '/^-- registry/,/^-- pending/p' "$work/snapshot.txt"; }

# setup.exe of the example toolbar from the current 64-bit DLL and the
# given 32-bit one, as $setup (a Windows path).
build_setup() {  # DLL32
  [ -f "$build/kestrelgrove.dll" ] || fail "$build/kestrelgrove.dll not built"
  [ -f "$1" ] || fail "$1 not built (build the windows32 preset first)"
  [ -f "$build/examples/Icons.bin" ] || fail "$build/examples/Icons.bin not built"
  "$here/installer/build-setup.sh" --out "$work/setup.exe" --icons "$build/examples/Icons.bin" \
    --dll64 "$build/kestrelgrove.dll" --dll32 "$1" --version 1.0-test >"$work/makensis.log" 2>&1 ||
    { cat "$work/makensis.log" >&2; fail "setup.exe could not be built"; }
  setup="Z:${work//\//\\}\\setup.exe"
}

# A run of an installer test that was cut short leaves its installation
# behind; a restart takes what earlier uninstallers left in the temporary folder.
clean_prefix() {
  if [ -d "$install_unix" ] || reg 64 query "$uninstall_key" >/dev/null; then
    say "an earlier installation is in the prefix: uninstalling it first"
    "$run" "$install_win\\uninstall.exe" /S </dev/null >/dev/null 2>&1 || true
    for _ in $(seq 100); do reg 64 query "$uninstall_key" >/dev/null || break; sleep 0.3; done
    rm -rf "$install_unix"
  fi
  local view
  for view in 64 32; do
    if reg $view query "$class_key" >/dev/null || reg $view query "$toolbar_key" >/dev/null; then
      say "removing a registration or toolbar key left in the $view-bit view by an earlier run"
    fi
    reg $view delete "$class_key" /f >/dev/null || true
    reg $view delete "$toolbar_key" /f >/dev/null || true
    reg $view delete "$uninstall_key" /f >/dev/null || true
    reg $view delete "$toolbar_list" /v "$clsid" /f >/dev/null || true
    reg $view delete "$explorer_bars" /v "$clsid" /f >/dev/null || true
  done
  "$run" wineboot -r </dev/null >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX/drive_c/users/$wine_user/Temp"/~nsu*.tmp
}

install() {  # EXPECTED_EXIT_CODE
  local rc=0
  "$run" "$setup" /S </dev/null >"$work/setup.out" 2>&1 || rc=$?
  [ $rc -eq "$1" ] || { cat "$work/setup.out" >&2; fail "setup.exe /S exited with $rc, expected $1"; }
  say "setup.exe /S exited with $rc"
}

# Wine shows a process's command line as Windows wrote it: "C:\...\Un.exe /S _?=<folder>\".
uninstaller_running() {
  ps -eo args= | P="Un.exe /S _?=$install_win\\" awk 'substr($0, 1, 3) == "C:\\" && index($0, ENVIRON["P"]) { f = 1 } END { exit !f }'
}

# The uninstaller copies itself into the temporary folder and runs from
# there: wait for that copy to end.
uninstall() {
  local quiet exe
  quiet=$(value 64 "$uninstall_key" QuietUninstallString) || fail "no QuietUninstallString"
  exe=$(sed -n 's/^"\([^"]*\)" \/S$/\1/p' <<<"$quiet")
  [ -n "$exe" ] || fail "QuietUninstallString is not '\"<path>\" /S': $quiet"
  "$run" "$exe" /S </dev/null >"$work/uninstall.out" 2>&1 || { cat "$work/uninstall.out" >&2; fail "$exe /S failed"; }
  local waited=0
  for _ in $(seq 300); do
    uninstaller_running || break
    sleep 0.2
    waited=1
  done
  ! uninstaller_running || fail "the uninstaller did not end within a minute"
  say "uninstaller ended"
  [ $waited -eq 1 ] || sleep 0.5
}

# NSIS's uninstaller copy cannot delete itself; it is left in the temporary
# folder and scheduled for deletion at the next restart. Check exactly that,
# then restart the prefix (wineboot -r) and check that it went.
check_temp_leftovers() {
  local left f pending
  left=$(cd "$WINEPREFIX/drive_c" && find users/"$wine_user"/Temp -path '*~nsu*' -type f | sort)
  pending=$(value 64 "$pending_key" PendingFileRenameOperations || true)
  for f in $left; do
    grep -qiF "C:\\${f//\//\\}" <<<"$pending" || fail "C:\\$f is left behind and not scheduled for deletion"
  done
  [ -n "$left" ] || return 0
  say "left until the next restart, scheduled for deletion: $(tr '\n' ' ' <<<"$left")"
  "$run" wineboot -r </dev/null >/dev/null 2>&1 || fail "wineboot -r failed"
  left=$(cd "$WINEPREFIX/drive_c" && find users/"$wine_user"/Temp -path '*~nsu*' | sort)
  [ -z "$left" ] || fail "still there after a restart: $left"
  say "after a restart (wineboot -r) the uninstaller's copy is gone"
}

check_removed() {
  [ ! -e "$install_unix" ] || { find "$install_unix" >&2; fail "the install folder is still there"; }
  for view in 64 32; do
    expect_no_key $view "$class_key"
    expect_no_key $view "$toolbar_key"
    expect_no_key $view "$uninstall_key"
    expect_no_value $view "$toolbar_list" "$clsid"
    expect_no_value $view "$explorer_bars" "$clsid"
  done
  registry_state >"$work/registry-after.txt"
  diff -u "$work/registry-before.txt" "$work/registry-after.txt" >&2 || fail "the registry differs from before the installation"
  say "nothing left: no install folder; no class key, toolbar key, uninstall entry or toolbar list values in either view"
}

