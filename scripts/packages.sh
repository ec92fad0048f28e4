# Sourced by scripts/package and scripts/test: packing a build and checking
# the packages as a player gets them.
#
# What packing and the checks need besides the builds: dpkg-shlibdeps, the
# checkers, and the Debian packages whose copyright files hold the licences
# of what zorp.exe links in (cmake/Packaging.cmake).
package_packages=(
  dpkg-dev lintian desktop-file-utils appstream man-db groff unzip util-linux
  libpng16-16 zlib1g libogg0 libvorbis0a libz-mingw-w64 gcc-mingw-w64-x86-64-posix-runtime
  mingw-w64-x86-64-dev
)

# pack BUILD: cpack in the build (the Debian package on Linux, the zip in the
# Windows build), which must be built; prints the package's path.
pack() {
  local log
  log=$(cd "$1" && cpack 2>&1) || { echo "$log" >&2; return 1; }
  sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$log"
}

# check_deb DEB PLAY_TESTS: lintian finds no error in the package; installed
# with apt-get, its desktop entry, metainfo and manual page pass their
# checkers, `zorp --version` runs from PATH, and the game plays a seeded game
# as a user who cannot write the program's folder (PLAY_TESTS is the
# play_tests program), keeping its files in that user's data folder; removed,
# it leaves nothing of what it brought. Needs root and DISPLAY.
check_deb() {
  local deb play_tests=$2
  deb=$(realpath "$1")
  echo "-- lintian"
  lintian --fail-on error --tag-display-limit 0 "$deb" || return 1
  # What the package brings: its paths that are not there before.
  local brought=() path
  dpkg-query -W zorp >/dev/null 2>&1 && apt-get remove -y -qq zorp >/dev/null
  while read -r path; do
    path=${path%/}
    [ -n "$path" ] && [ ! -e "$path" ] && brought+=("$path")
  done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's/^\.//')
  [ ${#brought[@]} -gt 0 ] || { echo "the package brings nothing new" >&2; return 1; }
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
  local status=0
  check_installed_game "$deb" "$play_tests" || status=$?
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq zorp >/dev/null
  [ $status -eq 0 ] || return $status
  local left=()
  for path in "${brought[@]}"; do [ -e "$path" ] && left+=("$path"); done
  [ ${#left[@]} -eq 0 ] || { echo "left after apt-get remove: ${left[*]}" >&2; return 1; }
  echo "-- removed: none of its ${#brought[@]} files and folders left"
}

# check_installed_game DEB PLAY_TESTS: the checks of check_deb on the
# installed package.
check_installed_game() {
  local deb=$1 play_tests=$2
  echo "-- installed files"
  # Run where a failure does not stop the script: each check returns.
  local desktop metainfo said
  desktop=$(dpkg -L zorp | grep -E '^/usr/share/applications/[^/]+\.desktop$') &&
    metainfo=$(dpkg -L zorp | grep -E '^/usr/share/metainfo/[^/]+\.metainfo\.xml$') ||
    { echo "no desktop entry or no metainfo installed" >&2; return 1; }
  said=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$said" ] ||
    { echo "$desktop: $said" >&2; return 1; }
  appstreamcli validate --no-net "$metainfo" || return 1
  said=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 \
    -l /usr/share/man/man6/zorp.6.gz 2>&1 >/dev/null)
  [ -z "$said" ] || { echo "man zorp: $said" >&2; return 1; }
  # The rest as a player: a user who cannot write the program's folder
  # (root writes anywhere), with the PATH a login gives (/usr/games in it).
  # The test program goes into the player's home: the build tree may lie
  # in a folder that only root can enter.
  local home status=0
  home=$(mktemp -d)
  cp "$play_tests" "$home/play_tests"
  chown -R 65534:65534 "$home"
  check_as_player "$deb" "$home" "$home/play_tests" || status=$?
  rm -rf "$home"
  return $status
}

# as_player HOME COMMAND: runs the shell command as user nobody in a login
# shell, with nothing of this environment but the X server.
as_player() {
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -i HOME="$1" DISPLAY="$DISPLAY" bash -lc "$2"
}

check_as_player() {
  local deb=$1 home=$2 play_tests=$3 expected actual program
  expected="zorp $(dpkg-deb -f "$deb" Version)"
  actual=$(as_player "$home" 'zorp --version') && program=$(as_player "$home" 'command -v zorp') ||
    { echo "zorp does not run from a player's PATH" >&2; return 1; }
  [ "$actual" = "$expected" ] || { echo "zorp --version: '$actual', not '$expected'" >&2; return 1; }
  echo "-- $actual from $program, played as user nobody"
  as_player "$home" "ZORP_INSTALLED_PROGRAM=$program $(printf %q "$play_tests") \
    --gtest_filter='PlayEachBuild.*/Installed'"
}

# check_zip ZIP PLAY_TESTS: the Windows zip unpacks to one folder holding
# zorp.exe, the readme, the licences and the credits, as Windows text; its
# zorp.exe plays a seeded game under Wine and saves beside itself. Needs
# DISPLAY and a Wine prefix (scripts/wine.sh).
check_zip() {
  local zip=$1 play_tests=$2 unpacked
  unpacked=$(mktemp -d)
  unzip -q "$zip" -d "$unpacked" || return 1
  local folders=("$unpacked"/*) status=0
  check_unpacked_zip "${folders[@]}" "$play_tests" || status=$?
  rm -rf "$unpacked"
  return $status
}

check_unpacked_zip() {
  [ $# -eq 2 ] && [ -d "$1" ] || { echo "the zip holds more than one folder" >&2; return 1; }
  # Run where a failure does not stop the script: each check returns.
  local folder=$1 play_tests=$2 file lines
  for file in zorp.exe README.txt LICENSE.txt CREDITS.txt licences/{zlib,libpng,libogg,libvorbis,gcc-runtime,mingw-w64-runtime}.txt; do
    [ -s "$folder/$file" ] || { echo "the zip has no $file" >&2; return 1; }
  done
  for file in "$folder"/*.txt "$folder"/licences/*.txt; do
    lines=$(wc -l <"$file")
    [ "$(grep -c $'\r$' "$file")" -eq "$lines" ] ||
      { echo "${file#"$folder"/} has lines without CRLF" >&2; return 1; }
  done
  echo "-- $(basename "$folder"): zorp.exe played under Wine"
  ZORP_WINDOWS_PROGRAM="$folder/zorp.exe" "$play_tests" \
    --gtest_filter='PlayEachBuild.AWholeGame*/Windows'
}
