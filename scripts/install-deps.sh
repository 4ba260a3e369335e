#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: install-deps.sh [--windows]   (--windows adds the cross compiler, Wine and what
# scripts/build-windows-deps.sh needs to build QPDF and Exempi for Windows)
set -e

packages="cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libqpdf-dev qpdf libexempi-dev libboost-dev python3 time
  python3-pytest python3-venv python3-setuptools python3-wheel
  slurmctld slurmd slurm-client munge fd-find libimage-exiftool-perl"
if [ "$1" = "--windows" ]; then
  packages="$packages g++-mingw-w64-i686 binutils-mingw-w64-i686 libz-mingw-w64-dev nasm dpkg-dev
    wine wine32"
fi
# --fuzz: clang with libFuzzer, for make fuzz.
if [ "$1" = "--fuzz" ]; then
  packages="$packages clang libclang-rt-dev"
fi

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
case "$missing" in
  *wine32*) dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
esac
echo "Installing:$missing"
$sudo apt-get update -q
# --no-upgrade: dpkg-dev would otherwise upgrade dpkg itself.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends --no-upgrade $missing
