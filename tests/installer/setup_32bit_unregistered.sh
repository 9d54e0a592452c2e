#!/usr/bin/env bash
# setup.exe where the 32-bit DLL cannot be registered, as on a machine that
# cannot run 32-bit programs: here a 32-bit DLL without the registration
# exports takes the place of the real one, so the 32-bit regsvr32 fails
# wherever it runs.
#  1. A silent install still installs everything, registers the 64-bit DLL,
#     writes the toolbar key in both views and the uninstall entry, and exits
#     with 3.
#  2. The uninstaller, whose 32-bit unregistration fails too, removes the
#     32-bit DLL's registration entries itself (put there by hand, as an
#     earlier registration of a working DLL would have left them), and leaves
#     nothing behind.
#
#   setup_32bit_unregistered.sh BUILD_DIR      (the 64-bit Windows build)
. "$(dirname "$0")/common.sh" "$1" no32

printf 'int kg_no_registration_here;\n' >"$work/empty.c"
i686-w64-mingw32-gcc -shared -static-libgcc -o "$work/unregistrable.dll" "$work/empty.c" ||
  fail "the 32-bit stand-in DLL could not be built"
build_setup "$work/unregistrable.dll"
clean_prefix
show "before install"
registry_state >"$work/registry-before.txt"

say "1. silent install with a 32-bit DLL that cannot be registered"
install 3
show "after install"
for f in "$file.ini" "$file.bmp" Copyrights.txt Icons.bin kestrelgrove.dll x86/kestrelgrove.dll uninstall.exe; do
  [ -f "$install_unix/$f" ] || fail "$f not installed"
done
for view in 64 32; do
  expect_value $view "$toolbar_key" "InstallPath" "$install_win"
  expect_value $view "$toolbar_key" "Toolbar Name" "$name"
  expect_value $view "$toolbar_key" "Toolbar File" "$file"
done
expect_value 64 "$class_key" "(Default)" "$name"
expect_value 64 "$class_key\\InprocServer32" "ThreadingModel" "Apartment"
expect_value 64 "$toolbar_list" "$clsid" "$name"
expect_no_key 32 "$class_key"
expect_value 64 "$uninstall_key" QuietUninstallString "\"$install_win\\uninstall.exe\" /S"
say "installed: the files, the toolbar key in both views, the 64-bit registration, the uninstall entry; no 32-bit registration"

say "2. silent uninstall, the 32-bit DLL's entries left from an earlier registration"
reg 32 add "$class_key" /ve /t REG_SZ /d "$name" /f >/dev/null
reg 32 add "$class_key\\InprocServer32" /ve /t REG_SZ /d "$install_win\\x86\\kestrelgrove.dll" /f >/dev/null
reg 32 add "$class_key\\InprocServer32" /v ThreadingModel /t REG_SZ /d Apartment /f >/dev/null
reg 32 add "$class_key\\Implemented Categories\\{00021492-0000-0000-C000-000000000046}" /f >/dev/null
reg 32 add "$toolbar_list" /v "$clsid" /t REG_SZ /d "$name" /f >/dev/null
reg 32 add "$explorer_bars" /v "$clsid" /t REG_SZ /d "" /f >/dev/null
show "before uninstall"
uninstall
show "after uninstall"
check_temp_leftovers
check_removed
say "passed"
