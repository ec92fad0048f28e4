# Sourced by the scripts that build or run the Windows build.
#
# configure_windows_build [DIR [CMAKE_ARGUMENT...]] configures DIR (by default
# build/mingw): the MinGW-w64 cross build, as scripts/test makes it (the
# first time, cmake/WindowsDeps.cmake cross-builds libpng, libogg and
# libvorbis into it). -O2: GCC 12's -O3 warns falsely (-Wrestrict) inside
# std::string.
windows_packages=(
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest dpkg-dev make cmake ninja-build
  pkg-config wine wine64 xdotool x11-xserver-utils icoutils
)
configure_windows_build() {
  cmake -S . -B "${1:-build/mingw}" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DZORP_WERROR=ON "${@:2}" >/dev/null
}

# prepare_wine_prefix DIR makes a fresh 64-bit Wine
# prefix in DIR, set up for running tests without a desktop, and exports what
# Wine needs to use it (WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES). Call it
# once per run, with DISPLAY set to an X server (an Xvfb). The prefix's
# wineserver stays up between the tests and goes a minute after the last one.
prepare_wine_prefix() {
  rm -rf "$1"
  mkdir -p "$1"
  export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all
  WINEPREFIX=$(cd "$1" && pwd)
  # No .NET or HTML engine to install, and no sound drivers: a test that
  # wants sound sets its own overrides.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv=d"
  wineserver -p60
  local log="$WINEPREFIX/wineboot.log"
  if ! { wineboot --init && wineserver --wait; } >"$log" 2>&1; then
    cat "$log" >&2
    return 1
  fi
  # Without a window manager, unmanaged windows (a managed one makes each
  # window's destruction wait 2 s); a crash ends the program instead of
  # waiting for someone to close Wine's crash dialog; Direct3D without Wine's
  # command-stream thread, which spins a core while it waits and, still
  # running at exit, gets about one DirectX program in three killed there.
  local settings="$WINEPREFIX/zorp-settings.reg"
  printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Direct3D]' '"csmt"=dword:00000000' >"$settings"
  wine regedit /S "$(winepath -w "$settings")"
}

# start_wine_session starts the prefix's wineserver (it stays a minute past
# the last program) and Wine's own services with their output going nowhere.
# Started by the first test instead, the services would hold that test's
# output pipes open, and ctest would wait for them until its timeout.
start_wine_session() {
  # Still up from prepare_wine_prefix, it refuses to start again: fine.
  wineserver -p60 2>/dev/null || true
  wine cmd /c exit </dev/null >/dev/null 2>&1
}
