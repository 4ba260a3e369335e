#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: install-deps.sh [--windows]   (--windows adds the cross compilers for 32-
# and 64-bit Windows, Wine for both, and what scripts/build-windows-deps.sh needs
# to build QPDF and Exempi for Windows)
set -e

packages="cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libqpdf-dev qpdf libexempi-dev libboost-dev python3 time
  slurmctld slurmd slurm-client munge fd-find libimage-exiftool-perl"
if [ "$1" = "--windows" ]; then
  packages="$packages g++-mingw-w64-i686 binutils-mingw-w64-i686
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 libz-mingw-w64-dev nasm dpkg-dev
    wine wine32 wine64"
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
# A list that fails to download (a mirror mid-sync) leaves the others usable;
# a package then missing fails the install below.
$sudo apt-get update -q || echo "install-deps: some package lists could not be updated" >&2
install() {
  # --no-upgrade: dpkg-dev would otherwise upgrade dpkg itself.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends --no-upgrade "$@"
}
# wine32 comes from the i386 archive, which a machine may not reach; without
# it only the 32-bit Wine tests are lost, and they skip saying so.
case "$missing" in
  *wine32*)
    install $(echo "$missing" | sed 's/ wine32//')
    install wine32 || echo "install-deps: wine32 could not be installed: the 32-bit Wine tests will skip" >&2
    ;;
  *) install $missing ;;
esac
