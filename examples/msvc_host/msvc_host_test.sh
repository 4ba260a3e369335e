#!/bin/sh
# Builds msvc_host.c as an MSVC host would be built (Debian's clang in its
# cl mode for the MSVC ABI, lld-link, /NODEFAULTLIB) against a Windows kit's
# docmark.lib, and runs it under Wine on a copy of a sample. The 32-bit host
# is built with /Gz.
# Where Wine cannot run the kit's programs (WINE_CANNOT says why), the host
# is built and linked only, and the test is skipped.
# Usage: msvc_host_test.sh KIT_BIN BITS SOURCE_ROOT
set -eu
bin=$1 bits=$2 root=$3
if [ "$bits" = 32 ]; then
  target=i686-pc-windows-msvc machine=i386 convention=/Gz
  kernel32="GetStdHandle@4 WriteFile@20 GetEnvironmentVariableW@12 ExitProcess@4"
else
  target=x86_64-pc-windows-msvc machine=i386:x86-64 convention=
  kernel32="GetStdHandle WriteFile GetEnvironmentVariableW ExitProcess"
fi
work=$(mktemp -d)
[ -n "$work" ] && [ -d "$work" ] || exit 1
trap 'rm -r "$work"' EXIT

# kernel32's import library, for the four calls the host makes.
{ echo "LIBRARY kernel32.dll"; echo "EXPORTS"; for name in $kernel32; do echo "  $name"; done; } \
  >"$work/kernel32.def"
llvm-dlltool -m "$machine" -k -d "$work/kernel32.def" -l "$work/kernel32.lib"

# In cl mode a word that starts with / is an option: the source comes after --.
clang --driver-mode=cl --target="$target" /nologo /c /O1 /GS- $convention /clang:-ffreestanding \
  -I"$root/docmark/include" /Fo"$work/msvc_host.obj" -- "$root/examples/msvc_host/msvc_host.c"
lld-link /nologo /subsystem:console /entry:HostStart /nodefaultlib "$work/msvc_host.obj" \
  "$bin/../lib/docmark.lib" "$work/kernel32.lib" /out:"$work/msvc_host.exe"
echo "msvc_host.exe built and linked against $bin/../lib/docmark.lib"

if [ -n "${WINE_CANNOT:-}" ]; then
  echo "skipped: Wine cannot run the $bits-bit kit here: $WINE_CANNOT"
  exit 77
fi
cp "$bin/docmark.dll" "$bin/DL100PDFL.dll" "$work/"
cp "$root/samples/pdf/one-page.pdf" "$work/one page.pdf"
wineboot -i >/dev/null 2>&1
DOCMARK_TEST_PDF="Z:$(printf '%s' "$work/one page.pdf" | tr / '\\')" wine "$work/msvc_host.exe"
