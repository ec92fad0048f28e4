# The libraries that Debian has no Windows build of, for the MinGW-w64 build:
# libpng, libogg and libvorbis, cross-built from Debian's source packages by
# scripts/windows-deps.sh into the build tree. The script runs at every
# configure but fetches and builds only once per build tree (and again when
# the script changes). zlib is Debian's own (libz-mingw-w64-dev). Afterwards
# the ordinary find_package(PNG) and pkg-config calls find the Windows builds.
set(ZORP_WINDOWS_DEPS "${CMAKE_BINARY_DIR}/windows-deps" CACHE PATH
    "Where the libraries cross-built for Windows are installed")

set(_zorp_deps_script "${PROJECT_SOURCE_DIR}/scripts/windows-deps.sh")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_zorp_deps_script}")
execute_process(COMMAND "${_zorp_deps_script}" "${ZORP_WINDOWS_DEPS}" RESULT_VARIABLE _zorp_deps_result)
if(NOT _zorp_deps_result EQUAL 0)
  message(FATAL_ERROR "The libraries for Windows could not be built (scripts/windows-deps.sh)")
endif()

list(APPEND CMAKE_FIND_ROOT_PATH "${ZORP_WINDOWS_DEPS}")
# The program is linked -static and has no DLLs beside it: zlib's import
# library (libz.dll.a) must not be found before libz.a.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
# pkg-config sees the Windows libraries only, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} "${ZORP_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
