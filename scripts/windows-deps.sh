#!/usr/bin/env bash
# windows-deps.sh PREFIX: cross-builds libogg, libvorbis and libpng, and
# Google Benchmark for the benchmarks, for 64-bit Windows (MinGW-w64, static
# libraries only) from Debian's own source packages and installs them into
# PREFIX. zlib is Debian's MinGW build
# (libz-mingw-w64-dev). A PREFIX already built by this version of the script
# is left alone, so a build tree fetches and builds them once.
#
# The sources come from the archive this machine already installs from: its
# apt configuration's bookworm stanza, as type deb-src, written to a source
# list of our own with package lists of our own, so the system's apt
# configuration and lists stay as they were. (The bookworm-security stanza is
# left out: its libpng .dsc is not there, and apt-get source fails on it.)
# Needs apt-get, dpkg-source (dpkg-dev), make, cmake, ninja, pkg-config and
# the MinGW-w64 compilers.
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 PREFIX" >&2; exit 2; }
mkdir -p "$1"
prefix=$(cd "$1" && pwd)
stamp="$prefix/.built-by"
version=$(sha256sum <"${BASH_SOURCE[0]}" | cut -d' ' -f1)
[ "$(cat "$stamp" 2>/dev/null)" = "$version" ] && exit 0

host=x86_64-w64-mingw32
packages=(libogg libvorbis libpng1.6) # in build order: vorbis needs ogg
toolchain=$(cd "$(dirname "${BASH_SOURCE[0]}")/../cmake" && pwd)/mingw-w64.cmake
# The libraries alone: no documentation, examples, tools or test programs.
declare -A configure_args=([libvorbis]="--disable-docs --disable-examples --disable-oggtest")
declare -A make_args=([libpng1.6]="bin_PROGRAMS= check_PROGRAMS=")
work="$prefix.work"
rm -rf "$work" "${prefix:?}"/*
trap 'rm -rf "$work"' EXIT
# apt's download user (_apt) writes the sources here.
mkdir -p "$work/apt/sources.list.d" "$work/apt/lists/partial" "$work/apt/cache" "$work/src"
chmod -R 755 "$work"

awk 'BEGIN { RS = ""; ORS = "\n\n" } /Suites: bookworm bookworm-updates/' \
  /etc/apt/sources.list.d/debian.sources |
  sed 's/^Types: deb$/Types: deb-src/' >"$work/apt/sources.list.d/deb-src.sources"
grep -q '^Types: deb-src$' "$work/apt/sources.list.d/deb-src.sources" || {
  echo "windows-deps: no bookworm stanza in /etc/apt/sources.list.d/debian.sources" >&2
  exit 1
}
apt=(
  -o Dir::Etc::SourceList=/dev/null
  -o Dir::Etc::SourceParts="$work/apt/sources.list.d"
  -o Dir::State::Lists="$work/apt/lists"
  -o Dir::Cache="$work/apt/cache"
)
log="$work/log"
echo "windows-deps: fetching ${packages[*]} benchmark (Debian source packages)" >&2
if ! { apt-get "${apt[@]}" update && (cd "$work/src" && apt-get "${apt[@]}" source "${packages[@]}" benchmark); } \
  >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi

export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig:/usr/$host/lib/pkgconfig"
export CC="$host-gcc-posix" AR="$host-ar" RANLIB="$host-ranlib" CFLAGS="-O2"
for package in "${packages[@]}"; do
  echo "windows-deps: building $package for $host" >&2
  source_dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$package-*")
  if ! (cd "$source_dir" &&
    ./configure --host="$host" --prefix="$prefix" --disable-shared --enable-static \
      --disable-dependency-tracking ${configure_args[$package]:-} &&
    make -j"$(nproc)" ${make_args[$package]:-} install) >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
  fi
done
# Google Benchmark builds with CMake. Debian's source takes its version from
# GIT_VERSION, where 0.0.0 means the project's own; the checks that would run
# test programs (under Wine) are answered.
echo "windows-deps: building benchmark for $host" >&2
source_dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "benchmark-*")
if ! { cmake -S "$source_dir" -B "$work/benchmark" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
  -DGIT_VERSION=0.0.0 -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_GTEST_TESTS=OFF \
  -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_INSTALL_DOCS=OFF \
  -DHAVE_STD_REGEX=1 -DHAVE_STEADY_CLOCK=1 &&
  ninja -C "$work/benchmark" install; } >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
echo "$version" >"$stamp"
echo "windows-deps: done in ${SECONDS} s" >&2
