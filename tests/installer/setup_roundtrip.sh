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
#  4. the last uninstall also removes the history file, and the installing
#     user's per-user key and folder (the search state, the per-user history
#     and an update's per-user configuration), and their low-integrity twins
#     that a browser in Protected Mode writes.
# The file tree and the registry keys are printed before and after each step.
#
#   setup_roundtrip.sh BUILD_DIR      (the 64-bit Windows build)
#
# setup.exe is built here from the current DLLs of BUILD_DIR and of the
# 32-bit build beside it (KG_WIN32_BUILD). Where this machine cannot run
# 32-bit programs, what needs them is reported as not run, and setup.exe must
# say so with its exit code 3.
. "$(dirname "$0")/common.sh" "$1" roundtrip
# The exit code setup.exe must give: 3 where the 32-bit DLL cannot be registered.
want_rc=0
[ $can32 -eq 1 ] || want_rc=3

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

build_setup "$build32/kestrelgrove.dll"
clean_prefix
show "before install"
registry_state >"$work/registry-before.txt"

say "1. silent install"
install $want_rc
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
install $want_rc
history="$install_unix/$name.txt"
printf 'kestrel nest\r\nmarsh hawk\r\n' >"$history"
cp "$history" "$work/history.txt"
for view in 64 32; do
  reg $view add "$toolbar_key" /v "Search Type" /t REG_SZ /d 2 /f >/dev/null
  reg $view add "$toolbar_key" /v "Search" /t REG_SZ /d "osprey $view" /f >/dev/null
done
# The installing user's per-user state, as the toolbar leaves it.
user_key="HKCU\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\$clsid"
local_appdata=$("$run" cmd /c 'echo %LOCALAPPDATA%' </dev/null 2>/dev/null | tr -d '\r')
user_unix=$("$run" winepath -u "$local_appdata\\$name" </dev/null 2>/dev/null | tr -d '\r')
[ -n "$local_appdata" ] && [ -n "$user_unix" ] || fail "the per-user folder could not be found"
mkdir -p "$user_unix"
printf 'kestrel nest\r\n' >"$user_unix/$name.txt"
printf '[Options]\r\nToolbar Name=%s\r\n' "$name" >"$user_unix/$file.ini"
printf '[Options]\r\nToolbar Name=%s\r\n' "$name" >"$user_unix/$file Default.ini"
reg 64 add "$user_key" /v "Search" /t REG_SZ /d "harrier" /f >/dev/null
reg 64 add "$user_key" /v "Date" /t REG_SZ /d "01/01/2026" /f >/dev/null
# And as a browser in Protected Mode leaves it: the low-integrity key (the
# toolbar key's path under HKCU\Software\AppDataLow) and folder (LocalLow).
low_key="HKCU\\Software\\AppDataLow\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\$clsid"
ie_low_key="HKCU\\Software\\Microsoft\\Internet Explorer\\LowRegistry\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\$clsid"
low_unix=$("$run" winepath -u "$local_appdata\\..\\LocalLow\\$name" </dev/null 2>/dev/null | tr -d '\r')
[ -n "$low_unix" ] || fail "the low-integrity folder could not be found"
mkdir -p "$low_unix"
printf 'merlin\r\n' >"$low_unix/$name.txt"
printf '[Options]\r\nToolbar Name=%s\r\n' "$name" >"$low_unix/$file.ini"
reg 64 add "$low_key" /v "Search" /t REG_SZ /d "merlin" /f >/dev/null
reg 64 add "$low_key" /v "Search Type" /t REG_SZ /d 1 /f >/dev/null
reg 64 add "$ie_low_key" /v "Search" /t REG_SZ /d "kite" /f >/dev/null
# A damaged installed file must be replaced by the new installation.
printf 'damaged\r\n' >"$install_unix/$file.ini"
show "before reinstall"
install $want_rc
show "after reinstall"
check_installed with-history
cmp -s "$work/history.txt" "$history" || fail "the history file changed"
for view in 64 32; do
  expect_value $view "$toolbar_key" "Search Type" 2
  expect_value $view "$toolbar_key" "Search" "osprey $view"
done
say "kept: \"$name.txt\" byte for byte, \"Search Type\" and \"Search\" in both views; the damaged $file.ini replaced"

expect_value 64 "$user_key" "Search" "harrier"
[ -f "$user_unix/$name.txt" ] || fail "the reinstall removed the per-user history"
expect_value 64 "$low_key" "Search" "merlin"
expect_value 64 "$ie_low_key" "Search" "kite"
[ -f "$low_unix/$name.txt" ] || fail "the reinstall removed the low-integrity history"
say "kept: the per-user key and folder, and their low-integrity twins"

say "4. silent uninstall, history file and the installing user's per-user state included"
uninstall
show "after the last uninstall"
check_temp_leftovers
check_removed
! reg 64 query "$user_key" >/dev/null || fail "the per-user key $user_key is still there"
[ ! -e "$user_unix" ] || fail "the per-user folder is still there: $(ls -A "$user_unix" | tr '\n' ' ')"
! reg 64 query "$low_key" >/dev/null || fail "the low-integrity key $low_key is still there"
! reg 64 query "$ie_low_key" >/dev/null || fail "the low-integrity key $ie_low_key is still there"
[ ! -e "$low_unix" ] || fail "the low-integrity folder is still there: $(ls -A "$low_unix" | tr '\n' ' ')"
say "the per-user key and folder, and their low-integrity twins, are gone"
say "passed"
