#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: install-deps.sh [--build | --windows | --fuzz]
#   --build: only what the build needs (the demo needs no more);
#   --windows: adds the cross compilers for 32- and 64-bit Windows, Wine, what
#     scripts/build-windows-deps.sh needs to build QPDF and Exempi for Windows,
#     clang and lld, which build the Windows kits, llvm-dlltool for the MSVC
#     import library, and groff and zip for the kit's text pages and archives;
#   --fuzz: adds clang with libFuzzer.
set -e

# What the build needs; --build stops there (the demo needs no more).
packages="cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libqpdf-dev qpdf libexempi-dev libboost-dev python3"
if [ "$1" != "--build" ]; then
  # What the tests, benchmarks and format check need besides: the peers, a
  # cluster and clang-format.
  packages="$packages clang-format time python3-pytest python3-venv python3-setuptools python3-wheel
  slurmctld slurmd slurm-client munge fd-find libimage-exiftool-perl mupdf-tools python3-pikepdf"
fi
if [ "$1" = "--windows" ]; then
  packages="$packages g++-mingw-w64-i686 binutils-mingw-w64-i686
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 libz-mingw-w64-dev nasm dpkg-dev wine wine64
    clang lld llvm groff-base zip"
fi
# --fuzz: clang with libFuzzer, for make fuzz.
if [ "$1" = "--fuzz" ]; then
  packages="$packages clang libclang-rt-dev"
fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
missing=""
for p in $packages; do
  installed "$p" || missing="$missing $p"
done
# 32-bit Wine comes from the i386 architecture, whose archive can lag behind
# the machine's own: without it the 32-bit Windows tests skip, saying why.
# Where the i386 archive could not give it, that is not tried again for a day.
want_wine32=""
wine32_stamp="${XDG_CACHE_HOME:-$HOME/.cache}/devkit-wine32-unavailable"
if [ "$1" = "--windows" ] && ! installed wine32 &&
  [ -z "$(find "$wine32_stamp" -mmin -1440 2>/dev/null)" ]; then
  want_wine32=yes
fi
[ -z "$missing" ] && [ -z "$want_wine32" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
if [ -n "$want_wine32" ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails one index or another now and then:
# try again, then go on with what was fetched, since the install itself
# fails if a package is really missing.
update() {
  $sudo apt-get update -q && return 0
  sleep 10
  $sudo apt-get update -q || echo "install-deps: apt-get update failed; going on with the lists fetched"
}
update
# --no-upgrade: dpkg-dev would otherwise upgrade dpkg itself.
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends --no-upgrade $missing
fi
if [ -n "$want_wine32" ]; then
  if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends --no-upgrade wine32; then
    echo "install-deps: wine32 cannot be installed here; the 32-bit Windows tests will skip"
    mkdir -p "$(dirname "$wine32_stamp")" && touch "$wine32_stamp"
  fi
fi
