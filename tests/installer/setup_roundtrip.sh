#!/usr/bin/env bash
# The example toolbar's setup.exe under Wine, in the test prefix:
#  1. a silent install (setup.exe /S): the files, both DLLs' registration in
#     their registry views, the toolbar key in both views, the entry under
#     "Add or Remove Programs"; then bandhost loads the band from the
#     installed files through COM;
#  2. a silent uninstall with the entry's "QuietUninstallString": nothing of
#     the installation is left, in the folder or in either registry view;
#  3. an install over an existing installation keeps the history file and
#     the "Search" and "Search Type" values, and brings back the files;
#  4. the last uninstall also removes the history file.
# The file tree and the registry keys are printed before and after each step.
#
#   setup_roundtrip.sh BUILD_DIR      (the 64-bit Windows build)
#
# setup.exe is built here from the current DLLs of BUILD_DIR and of the
# 32-bit build beside it (KG_WIN32_BUILD). Where this machine cannot run
# 32-bit programs, what needs them is reported as not run, and setup.exe must
# say so with its exit code 3.
set -euo pipefail
export LC_ALL=C
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
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

work=$build/installer-test
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
# The registry part of a snapshot, for comparing states.
registry_state() { snapshot | sed -n '/^-- registry/,/^-- pending/p'; }
show() {  # TITLE
  echo "==== $1"
  snapshot | tee "$work/snapshot-$(tr ' ' '-' <<<"$1").txt"
}

# setup.exe of the example toolbar from the current builds.
[ -f "$build/kestrelgrove.dll" ] || fail "$build/kestrelgrove.dll not built"
[ -f "$build32/kestrelgrove.dll" ] || fail "$build32/kestrelgrove.dll not built (build the windows32 preset first)"
[ -f "$build/examples/Icons.bin" ] || fail "$build/examples/Icons.bin not built"
"$here/installer/build-setup.sh" --out "$work/setup.exe" --icons "$build/examples/Icons.bin" \
  --dll64 "$build/kestrelgrove.dll" --dll32 "$build32/kestrelgrove.dll" --version 1.0-test >"$work/makensis.log" 2>&1 ||
  { cat "$work/makensis.log" >&2; fail "setup.exe could not be built"; }
setup="Z:${work//\//\\}\\setup.exe"

# A run of this test that was cut short leaves its installation behind.
if [ -d "$install_unix" ] || reg 64 query "$uninstall_key" >/dev/null; then
  say "an earlier installation is in the prefix: uninstalling it first"
  "$run" "$install_win\\uninstall.exe" /S </dev/null >/dev/null 2>&1 || true
  for _ in $(seq 100); do reg 64 query "$uninstall_key" >/dev/null || break; sleep 0.3; done
  rm -rf "$install_unix"
  for view in 64 32; do reg $view delete "$toolbar_key" /f >/dev/null || true; reg $view delete "$uninstall_key" /f >/dev/null || true; done
fi
"$run" wineboot -r </dev/null >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX/drive_c/users/$wine_user/Temp"/~nsu*.tmp

show "before install"
registry_state >"$work/registry-before.txt"

# The exit code setup.exe must give: 3 where the 32-bit DLL cannot be registered.
install() {
  local rc=0
  "$run" "$setup" /S </dev/null >"$work/setup.out" 2>&1 || rc=$?
  local want=0
  [ $can32 -eq 1 ] || want=3
  [ $rc -eq $want ] || { cat "$work/setup.out" >&2; fail "setup.exe /S exited with $rc, expected $want"; }
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

check_installed() {
  local f
  # Exactly these files, nothing in the 32-bit program folder.
  (cd "$install_unix" && find . -type f | sort) >"$work/files.txt"
  printf '%s\n' ./Copyrights.txt ./Icons.bin "./$file.bmp" "./$file.ini" ./kestrelgrove.dll ./uninstall.exe \
    ./x86/kestrelgrove.dll ${1:+"./$name.txt"} | sort >"$work/files-expected.txt"
  diff -u "$work/files-expected.txt" "$work/files.txt" || fail "the install folder does not hold the expected files"
  [ ! -e "$WINEPREFIX/drive_c/Program Files (x86)/$name" ] || fail "files went into C:\\Program Files (x86)"
  cmp -s "$here/examples/$file.ini" "$install_unix/$file.ini" || fail "$file.ini differs from the example's"
  cmp -s "$here/examples/$file.bmp" "$install_unix/$file.bmp" || fail "$file.bmp differs from the example's"
  cmp -s "$here/examples/Copyrights.txt" "$install_unix/Copyrights.txt" || fail "Copyrights.txt differs"
  cmp -s "$build/examples/Icons.bin" "$install_unix/Icons.bin" || fail "Icons.bin differs from the built one"
  file -b "$install_unix/kestrelgrove.dll" | grep -q '^PE32+ executable (DLL).* x86-64' || fail "kestrelgrove.dll is not the x86_64 DLL"
  file -b "$install_unix/x86/kestrelgrove.dll" | grep -q '^PE32 executable (DLL).* Intel 80386' || fail "x86\\kestrelgrove.dll is not the i686 DLL"
  say "files: $(tr '\n' ' ' <"$work/files.txt")"

  # The toolbar key, written by setup.exe itself, in both views.
  for view in 64 32; do
    expect_value $view "$toolbar_key" "InstallPath" "$install_win"
    expect_value $view "$toolbar_key" "Toolbar Name" "$name"
    expect_value $view "$toolbar_key" "Toolbar File" "$file"
  done
  say "toolbar key: \"InstallPath\", \"Toolbar Name\", \"Toolbar File\" in the 64- and 32-bit views"

  # Each DLL's self-registration, in its own view.
  local views=64 server
  [ $can32 -eq 1 ] && views="64 32"
  for view in $views; do
    expect_value $view "$class_key" "(Default)" "$name"
    server=$(value $view "$class_key\\InprocServer32" "(Default)") || fail "no InprocServer32 in the $view-bit view"
    local want_dll="$install_unix/kestrelgrove.dll"
    [ $view = 32 ] && want_dll="$install_unix/x86/kestrelgrove.dll"
    local server_unix
    server_unix=$("$run" winepath -u "$server" </dev/null 2>/dev/null | tr -d '\r')
    [ "$(realpath -m "$server_unix")" = "$(realpath -m "$want_dll")" ] || fail "the $view-bit view's InprocServer32 is $server, not the installed $view-bit DLL"
    expect_value $view "$class_key\\InprocServer32" "ThreadingModel" "Apartment"
    reg $view query "$class_key\\Implemented Categories\\{00021492-0000-0000-C000-000000000046}" >/dev/null ||
      fail "the desk band category is not registered in the $view-bit view"
    expect_value $view "$toolbar_list" "$clsid" "$name"
    expect_value $view "$explorer_bars" "$clsid" ""
    value $view "$toolbar_key" "Date" >/dev/null || fail "registration wrote no \"Date\" in the $view-bit view"
    say "registration in the $view-bit view: class key -> $server, toolbar list, \"Date\""
  done
  [ $can32 -eq 1 ] || say "NOT RUN: the 32-bit DLL's registration (32-bit programs cannot run here)"

  # "Add or Remove Programs".
  expect_value 64 "$uninstall_key" DisplayName "$name"
  expect_value 64 "$uninstall_key" DisplayVersion "1.0-test"
  expect_value 64 "$uninstall_key" Publisher "Kestrelgrove"
  expect_value 64 "$uninstall_key" InstallLocation "$install_win"
  expect_value 64 "$uninstall_key" UninstallString "\"$install_win\\uninstall.exe\""
  expect_value 64 "$uninstall_key" QuietUninstallString "\"$install_win\\uninstall.exe\" /S"
  say "uninstall entry: DisplayName, DisplayVersion, Publisher, InstallLocation, UninstallString, QuietUninstallString"
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

# The band in the stand-in browser, from the installed files, through COM.
check_band() {  # BITS HOST
  local rc=0
  timeout 120 "$run" "$2" --screenshot-after 6000 --print-layout </dev/null >"$work/band.out" 2>"$work/band.err" || rc=$?
  tr -d '\r' <"$work/band.out" | grep -v '^layout: ' || true
  tr -d '\r' <"$work/band.err" >&2
  [ $rc -eq 0 ] || fail "$1-bit bandhost exited with $rc"
  tr -d '\r' <"$work/band.out" | grep -qxF "bandhost: toolbar \"$name\" from $install_win\\$file.ini" ||
    fail "$1-bit bandhost did not read the installed configuration"
  tr -d '\r' <"$work/band.out" | grep -q '^bandhost: band open at' || fail "the $1-bit band did not open"
  tr -d '\r' <"$work/band.out" | grep -q '^layout: button "Home"' || fail "the $1-bit band shows no \"Home\" button"
  ! grep -q 'error box' "$work/band.err" || fail "the $1-bit band showed an error box"
  say "$1-bit bandhost loaded the band from the installed files: $(tr -d '\r' <"$work/band.out" | grep -c '^layout: button') buttons"
}

say "1. silent install"
install
show "after install"
check_installed
check_band 64 "$build/bandhost.exe"
if [ $can32 -eq 1 ] && [ -f "$build32/bandhost.exe" ]; then
  check_band 32 "$build32/bandhost.exe"
else
  say "NOT RUN: the 32-bit band in the 32-bit bandhost (32-bit programs cannot run here, or $build32/bandhost.exe not built)"
fi

say "2. silent uninstall"
uninstall
show "after uninstall"
check_temp_leftovers
check_removed

say "3. install over an existing installation with a history file and search state"
install
history="$install_unix/$name.txt"
printf 'kestrel nest\r\nmarsh hawk\r\n' >"$history"
cp "$history" "$work/history.txt"
for view in 64 32; do
  reg $view add "$toolbar_key" /v "Search Type" /t REG_SZ /d 2 /f >/dev/null
  reg $view add "$toolbar_key" /v "Search" /t REG_SZ /d "osprey $view" /f >/dev/null
done
# A damaged installed file must be replaced by the new installation.
printf 'damaged\r\n' >"$install_unix/$file.ini"
show "before reinstall"
install
show "after reinstall"
check_installed with-history
cmp -s "$work/history.txt" "$history" || fail "the history file changed"
for view in 64 32; do
  expect_value $view "$toolbar_key" "Search Type" 2
  expect_value $view "$toolbar_key" "Search" "osprey $view"
done
say "kept: \"$name.txt\" byte for byte, \"Search Type\" and \"Search\" in both views; the damaged $file.ini replaced"

say "4. silent uninstall, history file included"
uninstall
show "after the last uninstall"
check_temp_leftovers
check_removed
say "passed"
