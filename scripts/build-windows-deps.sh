#!/bin/sh
# Builds QPDF and Exempi for 32- or 64-bit Windows (ARCH-w64-mingw32) as
# static libraries, with libjpeg-turbo and expat, from Debian's own source
# packages, at the versions the Linux build links against. zlib comes prebuilt
# from libz-mingw-w64-dev.
#
# Usage: build-windows-deps.sh i686|x86_64 PREFIX
#
# PREFIX is a cache outside the build trees: it is kept while its inputs (this
# script, the cross compiler, zlib and the source versions) stay the same, and
# rebuilt when one changes. The sources come through `apt-get source`, from a
# deb-src entry made at run time from the machine's own Debian entries, in an
# apt state of its own that is removed afterwards.
set -e

usage="usage: build-windows-deps.sh i686|x86_64 PREFIX"
arch=${1:?$usage}
prefix=${2:?$usage}
case $arch in
  i686 | x86_64) ;;
  *) echo "$usage" >&2 && exit 2 ;;
esac
jobs=2
host=$arch-w64-mingw32
# The posix thread model: the stand-in needs std::mutex and std::call_once.
cc=$host-gcc-posix
cxx=$host-g++-posix

# The source packages, at the versions of the installed Linux libraries.
source_version() {
  dpkg-query -W -f='${source:Version}' "$1:$(dpkg --print-architecture)"
}
versions="qpdf=$(source_version libqpdf-dev)
exempi=$(source_version libexempi-dev)
expat=$(source_version libexpat1)
libjpeg-turbo=$(source_version libjpeg62-turbo)"

inputs="$(sha256sum "$0" | cut -d' ' -f1)
$($cxx --version | head -n 1)
zlib=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)
$versions"
if [ -f "$prefix/inputs" ] && [ "$(cat "$prefix/inputs")" = "$inputs" ]; then
  exit 0
fi

echo "Building QPDF and Exempi for $arch Windows into $prefix (a few minutes, once)"
# Built in place, since the libraries' pkg-config and CMake files name their
# prefix; the inputs file, written last, marks a finished build.
stage=$prefix
log=$prefix.log
rm -rf "$stage"
mkdir -p "$stage"
: >"$log"
work=$(mktemp -d)
trap 'status=$?; rm -rf "$work"; [ $status -eq 0 ] || echo "build-windows-deps: failed; see $log" >&2' EXIT

# Edits a source file; fails when the edit changes nothing, since the source
# then no longer looks as this step expects.
edit() {
  file=$1
  shift
  cp "$file" "$work/unedited"
  sed -i "$@" "$file"
  if cmp -s "$file" "$work/unedited"; then
    echo "build-windows-deps: $file: the edit no longer applies" >&2
    exit 1
  fi
}

# --- Sources ----------------------------------------------------------------

# deb-src twins of the machine's Debian entries (its release and that
# release's -updates and -security suites), in both formats apt reads.
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
apt="$work/apt"
mkdir -p "$apt/lists/partial" "$apt/cache"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk -v c="$codename" 'BEGIN { RS = ""; ORS = "\n\n" }
    /(^|\n)Types:[^\n]*deb/ && match($0, /(^|\n)Suites:[^\n]*/) {
      n = split(substr($0, RSTART, RLENGTH), suites, /[ \t\n]+/)
      for (i = 1; i <= n; i++)
        if (suites[i] == c || index(suites[i], c "-") == 1) {
          sub(/Types:[^\n]*/, "Types: deb-src"); print; next
        }
    }' "$f" >>"$apt/deb-src.sources"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -n "s/^deb \(.* $codename\(-[a-z]*\)\? .*\)/deb-src \1/p" "$f" >>"$apt/deb-src.list"
done
[ -s "$apt/deb-src.sources" ] || rm -f "$apt/deb-src.sources"
[ -s "$apt/deb-src.list" ] || rm -f "$apt/deb-src.list"
aptopts="-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts=$apt
  -o Dir::State::Lists=$apt/lists -o Dir::Cache=$apt/cache -q"
apt-get $aptopts update >>"$log" 2>&1

# The newest revision may be missing from the archive: then the same upstream
# version at an older revision.
fetch() {
  package=${1%%=*}
  wanted=${1#*=}
  upstream=$(echo "$wanted" | sed 's/^[0-9]*://; s/-[^-]*$//')
  candidates=$(apt-cache $aptopts showsrc "$package" | sed -n 's/^Version: //p' | sort -urV)
  for version in $wanted $candidates; do
    case $(echo "$version" | sed 's/^[0-9]*://; s/-[^-]*$//') in
      "$upstream") ;;
      *) continue ;;
    esac
    if (cd "$work" && apt-get $aptopts source "$package=$version" >>"$log" 2>&1); then
      echo "$package $version" >>"$stage/versions"
      return
    fi
  done
  echo "build-windows-deps: no source of $package $upstream in the archive" >&2
  exit 1
}
for p in $versions; do
  fetch "$p"
done
rm -rf "$apt"
src() {
  find "$work" -maxdepth 1 -type d -name "$1-*" | head -n 1
}

# Only the Windows libraries are found: those built here and mingw's zlib.
export PKG_CONFIG_LIBDIR="$stage/lib/pkgconfig:/usr/$host/lib/pkgconfig"

cmake_build() {
  cmake -S "$1" -B "$1/build-win" -G "Unix Makefiles" \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=$arch \
    -DCMAKE_C_COMPILER=$cc -DCMAKE_CXX_COMPILER=$cxx -DCMAKE_RC_COMPILER=$host-windres \
    -DCMAKE_FIND_ROOT_PATH="$stage;/usr/$host" -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
    -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" \
    -DCMAKE_INSTALL_LIBDIR="$stage/lib" "$@" >>"$log" 2>&1
}

# --- libjpeg-turbo (QPDF's DCT filter) --------------------------------------
jpeg=$(src libjpeg-turbo)
# An absolute libdir: its own GNUInstallDirs handling would put lib under the build.
cmake_build "$jpeg" -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON
cmake --build "$jpeg/build-win" -j$jobs --target install >>"$log" 2>&1

# --- expat (Exempi's XML parser) --------------------------------------------
expat=$(src expat)
[ -d "$expat/expat" ] && expat=$expat/expat
# A backported fix tests `#if XML_DTD == 1`, but the CMake config header
# defines XML_DTD empty.
edit "$expat/expat_config.h.cmake" 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/'
cmake_build "$expat" -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
  -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=ON
cmake --build "$expat/build-win" -j$jobs --target install >>"$log" 2>&1

# --- QPDF -------------------------------------------------------------------
qpdf=$(src qpdf)
# Its configure checks link -lAdvapi32; the file is advapi32 on a
# case-sensitive file system, and every check failed silently without it.
edit "$qpdf/CMakeLists.txt" 's/Advapi32/advapi32/g'
cmake_build "$qpdf" -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_DOC=OFF \
  -DUSE_IMPLICIT_CRYPTO=OFF -DREQUIRE_CRYPTO_NATIVE=ON
# There is no option to skip its programs and tests: build the library alone.
cmake --build "$qpdf/build-win" -j$jobs --target libqpdf >>"$log" 2>&1
cmake --install "$qpdf/build-win" --component dev >>"$log" 2>&1

# --- Exempi -----------------------------------------------------------------
exempi=$(src exempi)
cd "$exempi"
# configure hard-codes UNIX_ENV and -lrt -ldl for every system but Apple's:
# the SDK's Windows environment instead, without those libraries.
edit configure 's/EXEMPI_PLATFORM_DEF=UNIX_ENV/EXEMPI_PLATFORM_DEF=WIN_ENV/; /LDFLAGS="$LDFLAGS -lrt -ldl"/d'
# The SDK's Windows platform files instead of the POSIX and Linux ones.
edit source/Makefile.in 's/Host_IO-POSIX/Host_IO-Win/g'
edit XMPFiles/source/PluginHandler/Makefile.in 's/OS_Utils_Linux/OS_Utils_WIN/g'
# XMP_Const.h uses int8_t and friends but includes <stdint.h> only for Apple.
edit public/include/XMP_Const.h \
  's/^#if XMP_MacBuild | XMP_iOSBuild\t/#if XMP_MacBuild | XMP_iOSBuild | XMP_WinBuild\t/'
# The SDK includes <Windows.h>; mingw's header is windows.h.
mkdir -p "$work/compat"
echo '#include <windows.h>' >"$work/compat/Windows.h"
# MSVC's SAL annotations are missing from mingw's sal.h: the SDK's own empty
# stubs serve mingw too.
edit source/SuppressSAL.h \
  's/^#if !defined(_WIN32) \&\& !defined(_WIN64)/#if (!defined(_WIN32) \&\& !defined(_WIN64)) || defined(__MINGW32__)/'
# `_MSC_VER <= 1600` is true under GCC, which would select std::tr1.
edit public/include/XMPCommon/XMPCommonDefines.h \
  's/#if _MSC_VER <= 1600/#if defined(_MSC_VER) \&\& _MSC_VER <= 1600/'
# iconv.h is checked for and used by nothing.
ac_cv_header_iconv_h=yes ./configure --host=$host CC=$cc CXX=$cxx \
  CPPFLAGS="-I$stage/include -I$work/compat -DUNICODE -D_UNICODE" LDFLAGS="-L$stage/lib" \
  --prefix="$stage" --enable-static --disable-shared --disable-unittest --disable-samples >>"$log" 2>&1
for dir in third-party source XMPCore XMPFiles; do
  make -C $dir -j$jobs >>"$log" 2>&1
done
make -C exempi -j$jobs libexempi.la >>"$log" 2>&1
make -C exempi install-libLTLIBRARIES install-exempiHEADERS install-pkgconfigDATA >>"$log" 2>&1
cd /

echo "$inputs" >"$prefix/inputs"
echo "QPDF and Exempi for $arch Windows are in $prefix"
