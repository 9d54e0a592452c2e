#!/usr/bin/env bash
# installer/build-setup.sh with a publisher's bad folders: each is refused
# with exit code 1 and a message that names the problem, and no setup.exe is
# written. Then a toolbar whose "Company Name" holds NSIS's own signs ("$",
# a double quote) still builds.
#
#   build_setup_inputs.sh BUILD_DIR      (the 64-bit Windows build)
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
build32=${KG_WIN32_BUILD:-$(dirname "$build")/windows32}
tool=$here/installer/build-setup.sh
work=$build/installer-test/inputs
rm -rf "$work"
mkdir -p "$work"
fail() { echo "build-setup inputs: FAIL: $*" >&2; exit 1; }

refused() {  # MESSAGE_PART ARGS...: exit code 1, the message, no output file
  local want=$1 rc=0; shift
  "$tool" --out "$work/setup.exe" --icons "$build/examples/Icons.bin" --dll64 "$build/kestrelgrove.dll" \
    --dll32 "$build32/kestrelgrove.dll" "$@" >"$work/out" 2>&1 || rc=$?
  [ $rc -eq 1 ] || { cat "$work/out" >&2; fail "exit code $rc for $*"; }
  grep -qF -- "$want" "$work/out" || { cat "$work/out" >&2; fail "no \"$want\" for $*"; }
  [ ! -e "$work/setup.exe" ] || fail "setup.exe written for $*"
  echo "refused ($*): $(cat "$work/out")"
}

toolbar=$work/toolbar
mkdir -p "$toolbar"
refused "no toolbar folder" "$work/none"
refused "holds 0 .ini files" "$toolbar"
cp "$here/examples/Kestrelgrove.ini" "$toolbar/"
cp "$here/examples/Kestrelgrove.ini" "$toolbar/Other.ini"
refused "holds 2 .ini files" "$toolbar"
rm "$toolbar/Other.ini"
refused "missing: $toolbar/Kestrelgrove.bmp $toolbar/Copyrights.txt" "$toolbar"
cp "$here/examples/Kestrelgrove.bmp" "$here/examples/Copyrights.txt" "$toolbar/"
refused "cannot name a file or a registry key" --name 'Kestrelgrove: Toolbar' "$toolbar"
refused "may not begin or end with a blank or a dot" --name 'Kestrelgrove.' "$toolbar"
refused "is not an i686 DLL" --dll32 "$build/kestrelgrove.dll" "$toolbar"
printf '[Options]\r\nCompany Name=Kestrelgrove\r\n' >"$toolbar/Kestrelgrove.ini"
refused "has no \"Toolbar Name\" in section \"Options\"" "$toolbar"

# NSIS's variable sign and quote in texts that go into setup.exe.
printf '[options]\r\ntoolbar name=Kestrelgrove Test\r\nCompany Name=Kestrel "Grove" $5 Ltd\r\n' >"$toolbar/Kestrelgrove.ini"
"$tool" --out "$work/setup.exe" --icons "$build/examples/Icons.bin" --dll64 "$build/kestrelgrove.dll" \
  --dll32 "$build32/kestrelgrove.dll" --version '1.0 "$beta"' "$toolbar" >"$work/out" 2>&1 ||
  { cat "$work/out" >&2; fail "a Company Name with \$ and a quote did not build"; }
grep -qF '("Kestrelgrove Test", "Toolbar File" Kestrelgrove' "$work/out" ||
  { cat "$work/out" >&2; fail "the name was not read from section \"options\" written in lower case"; }
file -b "$work/setup.exe" | grep -q '^PE32+ executable' || fail "setup.exe is not a 64-bit program"
echo "built: $(tail -1 "$work/out")"
echo "passed"
