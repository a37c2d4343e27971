#!/usr/bin/env bash
# Links res/quorvex.rc into an empty Windows GUI program and checks it with rescheck; then plants
# one fault at a time in a copy of res/ and checks that rescheck names it.
# Needs python3 and Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix, mingw-w64-x86-64-dev).
#
#   tests/resources/run.sh [TRANSLATIONS]
# TRANSLATIONS is the folder of the Windows build's generated string tables (build/windows/po).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
translations=$(realpath "${1:-$root/build/windows/po}")
rescheck="$root/tools/rescheck/rescheck.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

x86_64-w64-mingw32-g++-posix -municode -c "$root/tests/resources/empty_main.cpp" -o "$work/empty_main.o"

# build RESDIR EXE: the empty program with RESDIR/quorvex.rc linked in.
build() {
  x86_64-w64-mingw32-windres -I "$translations" "$1/quorvex.rc" -O coff -o "$2.res.o"
  x86_64-w64-mingw32-g++-posix -municode -mwindows -static "$work/empty_main.o" "$2.res.o" -o "$2"
}

# check EXE: runs rescheck, keeping its report in EXE.out; returns its exit status.
check() {
  local status=0
  "$rescheck" "$1" >"$1.out" 2>&1 || status=$?
  return "$status"
}

# The committed icon is exactly what the drawing renders to.
"$root/script/make-icons" "$work/quorvex.ico"
cmp -s "$work/quorvex.ico" "$root/res/quorvex.ico" ||
  fail "res/quorvex.ico is not what script/make-icons renders from res/quorvex.svg"

# The resources as committed hold every fact.
build "$root/res" "$work/quorvex.exe"
if check "$work/quorvex.exe"; then
  cat "$work/quorvex.exe.out"
else
  fail "rescheck rejects the committed resources:"
  cat "$work/quorvex.exe.out"
fi

# Without any resources, every fact fails.
x86_64-w64-mingw32-g++-posix -municode -mwindows -static "$work/empty_main.o" -o "$work/bare.exe"
status=0
check "$work/bare.exe" || status=$?
facts=$(grep -c . "$work/quorvex.exe.out")
failed=$(grep -c '^FAIL ' "$work/bare.exe.out" || true)
if [ "$status" -ne 1 ] || [ "$failed" -ne "$facts" ]; then
  fail "executable without resources: exit $status, $failed of $facts facts failed"
fi

# A file that is no PE image is refused as such, not reported fact by fact.
status=0
check "$work/quorvex.ico" || status=$?
[ "$status" -eq 2 ] || fail "an .ico given as executable: exit $status, wanted 2"

# patch_byte FILE OFFSET VALUE: overwrites one byte.
patch_byte() {
  printf '%b' "\\x$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# fault NAME FACT COMMAND...: runs COMMAND in a copy of res/ and expects rescheck to fail FACT.
fault() {
  local name=$1 fact=$2 status=0
  shift 2
  cp -r "$root/res" "$work/$name"
  (cd "$work/$name" && "$@")
  if diff -rq "$root/res" "$work/$name" >/dev/null; then
    fail "$name: the fault was not planted ($*)"
    return
  fi
  build "$work/$name" "$work/$name.exe"
  check "$work/$name.exe" || status=$?
  if [ "$status" -ne 1 ] || ! grep -qF "FAIL $fact" "$work/$name.exe.out"; then
    fail "$name: exit $status, wanted 1 with \"FAIL $fact\":"
    cat "$work/$name.exe.out"
  fi
}

# Strings.
fault title 'string 103 ' sed -i 's/IDS_APP_TITLE "Quorvex"/IDS_APP_TITLE "quorvex"/' quorvex.rc
fault class-name 'string 109 ' sed -i 's/"QUORVEX"/"QUORVEX "/' quorvex.rc
# A second language's table lacks the class name, so which one loads depends on the user's language.
fault second-language 'string 109 ' \
  sh -c 'printf "LANGUAGE 0x11, 0x01\nSTRINGTABLE\nBEGIN\n    103 \"Quorvex\"\nEND\n" >>quorvex.rc'

# Icons (both groups come from the one file): the directory claims 7 images, leaving out the last
# (48x48, 32 bits); then the first entry (16x16, 4 bits) claims 8 bits, which its image has not.
fault icon-missing-image 'icon group 107 ' patch_byte quorvex.ico 4 07
fault icon-wrong-depth 'icon group 108 ' patch_byte quorvex.ico 12 08

# Version resource.
fault file-version 'version: fixed file version ' sed -i 's/^FILEVERSION 1,0,0,1/FILEVERSION 1,0,0,2/' \
  quorvex.rc
fault product-version 'version: fixed product version ' \
  sed -i 's/^PRODUCTVERSION 1,0,0,1/PRODUCTVERSION 1,1,0,1/' quorvex.rc
fault block-language 'version: the only string block ' sed -i 's/"041104b0"/"040904b0"/' quorvex.rc
fault second-block 'version: the only string block ' \
  sed -i '/BLOCK "041104b0"/i\        BLOCK "040904b0"\n        BEGIN\n        END' quorvex.rc
fault version-string 'version: FileVersion ' sed -i 's/"FileVersion", "1.0.0.1"/"FileVersion", "1.0.0"/' \
  quorvex.rc
fault translation 'version: translation ' sed -i 's/0x411, 1200/0x409, 1200/' quorvex.rc

# Manifest.
fault elevation 'manifest: execution level ' sed -i 's/"asInvoker"/"requireAdministrator"/' quorvex.manifest
fault ui-access 'manifest: uiAccess ' sed -i 's/uiAccess="false"/uiAccess="true"/' quorvex.manifest
fault common-controls 'manifest: no side-by-side dependency ' \
  sed -i 's|</assembly>|<dependency><dependentAssembly>\
<assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"\
 processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>\
</dependentAssembly></dependency></assembly>|' quorvex.manifest
fault manifest-xml 'manifest: execution level ' sed -i 's|</assembly>||' quorvex.manifest

if [ "$failures" -ne 0 ]; then
  echo "tests/resources: $failures failed"
  exit 1
fi
echo "tests/resources: all passed"
