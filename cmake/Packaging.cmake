# Installing the game and packing it: on Linux `cmake --install` puts the
# program, its desktop entry, icons, AppStream metainfo, manual page, licence
# and credits under the prefix, and `cpack` makes the Debian package from
# that; in the Windows (MinGW-w64) build `cpack` makes one zip holding a
# folder with zorp.exe, a readme and the licences. Only the game installs:
# tools, tests and benchmarks install nothing. The texts are in packaging/.
include(GNUInstallDirs)

# Where the project lives; the desktop entry and the metainfo are named by
# the reverse of its domain.
set(ZORP_HOMEPAGE "https://www.quillmoor.example/zorp/")
set(ZORP_APP_ID "example.quillmoor.zorp")
set(ZORP_CONTACT "The Zorp developers <zorp@quillmoor.example>")

set(_zorp_texts "${PROJECT_SOURCE_DIR}/packaging")
set(_zorp_made "${PROJECT_BINARY_DIR}/packaging")

# The changelog and the metainfo's release list name each version by hand:
# a version raised in project() without them would ship a package that
# contradicts itself. The newest release is the first one that pattern
# matches in packaging/file; its version is the pattern's first group, and
# its date (the second group, if any) goes to variable.
function(zorp_check_newest_release file pattern variable)
  file(READ "${_zorp_texts}/${file}" text)
  string(REGEX MATCH "${pattern}" _ "${text}")
  if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/${file} names version '${CMAKE_MATCH_1}' first, "
                        "not the project's ${PROJECT_VERSION}: add its release there")
  endif()
  set(${variable} "${CMAKE_MATCH_2}" PARENT_SCOPE)
endfunction()
zorp_check_newest_release(changelog "^zorp \\(([^)]*)\\)" _)
# The date of the release dates the manual page.
zorp_check_newest_release(zorp.metainfo.xml.in "<release version=\"([^\"]*)\" date=\"([^\"]*)\""
                          ZORP_RELEASE_DATE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${_zorp_texts}/changelog" "${_zorp_texts}/zorp.metainfo.xml.in")

set(CPACK_PACKAGE_NAME zorp)
set(CPACK_PACKAGE_VENDOR "The Zorp developers")
set(CPACK_PACKAGE_CONTACT "${ZORP_CONTACT}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${ZORP_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade game: steer a growing chain of balls and eat the numbers")
set(CPACK_PACKAGE_DESCRIPTION
    "Zorp is a single-player arcade game. The player steers the zorp, a chain of
balls, over a walled grass field, eats numbered tiles before they count down
to nothing, and catches the bonus star; the zorp grows with every bite and
dies on a wall, on its own body or when a number runs out. The best scores
go into a hall of fame kept between games.

The game plays full screen or in a window, through OpenGL, with its own music
and sound effects built into the program.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
# Everything the install takes from the build, and no more: the packages
# build this instead of every tool and test.
add_custom_target(zorp_package_files)
add_dependencies(zorp_package_files zorp)
# Folders 755 whatever the umask of whoever installs or packs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})

if(WIN32)
  # Everything in one folder: the program and its texts, with Windows line
  # endings so that Notepad shows them.
  install(TARGETS zorp RUNTIME DESTINATION .)

  # Copies source to destination (in the build tree) with CRLF line ends.
  function(zorp_windows_text source destination)
    file(READ "${source}" text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE "${_zorp_made}/${destination}" "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
    get_filename_component(folder "${destination}" DIRECTORY)
    install(FILES "${_zorp_made}/${destination}" DESTINATION "./${folder}")
  endfunction()

  configure_file("${_zorp_texts}/windows/README.txt.in" "${_zorp_made}/README.txt.lf" @ONLY)
  zorp_windows_text("${_zorp_made}/README.txt.lf" README.txt)
  zorp_windows_text("${PROJECT_SOURCE_DIR}/LICENSE" LICENSE.txt)
  zorp_windows_text("${PROJECT_SOURCE_DIR}/CREDITS.md" CREDITS.txt)
  # zorp.exe is linked statically: the licences of what it holds, as Debian
  # states them for the packages the build takes them from (zlib's MinGW
  # build; the host's libpng, libogg and libvorbis, from the same sources
  # that cmake/WindowsDeps.cmake cross-builds; MinGW-w64's GCC runtime, C
  # runtime and winpthreads).
  set(_zorp_licences
      zlib libz-mingw-w64
      libpng libpng16-16
      libogg libogg0
      libvorbis libvorbis0a
      gcc-runtime gcc-mingw-w64-x86-64-posix-runtime
      mingw-w64-runtime mingw-w64-x86-64-dev)
  while(_zorp_licences)
    list(POP_FRONT _zorp_licences name package)
    set(copyright "/usr/share/doc/${package}/copyright")
    if(NOT EXISTS "${copyright}")
      message(FATAL_ERROR "${copyright} is missing: install ${package} for the licence of ${name}")
    endif()
    zorp_windows_text("${copyright}" "licences/${name}.txt")
  endwhile()

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "zorp-${PROJECT_VERSION}-windows-x64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(TARGETS zorp RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  install(FILES "${_zorp_texts}/zorp.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications"
          RENAME "${ZORP_APP_ID}.desktop")
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES "${PROJECT_SOURCE_DIR}/gfx/icons/zorp-${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            RENAME zorp.png)
  endforeach()
  configure_file("${_zorp_texts}/zorp.metainfo.xml.in"
                 "${_zorp_made}/${ZORP_APP_ID}.metainfo.xml" @ONLY)
  install(FILES "${_zorp_made}/${ZORP_APP_ID}.metainfo.xml"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")

  # The copyright file in Debian's machine-readable form, with the licence
  # texts taken from LICENSE and CREDITS.md, indented as the form wants.
  function(zorp_copyright_body text variable)
    string(STRIP "${text}" text)
    string(REPLACE "\n" "\n " text " ${text}")
    # Twice: a blank line's replacement overlaps the next one's.
    string(REPLACE "\n \n" "\n .\n" text "${text}")
    string(REPLACE "\n \n" "\n .\n" text "${text}")
    set(${variable} "${text}" PARENT_SCOPE)
  endfunction()
  file(READ "${PROJECT_SOURCE_DIR}/LICENSE" _zorp_licence)
  string(FIND "${_zorp_licence}" "Permission is hereby granted" _zorp_at)
  if(_zorp_at LESS 0)
    message(FATAL_ERROR "LICENSE is not the MIT licence that packaging/copyright.in names")
  endif()
  string(SUBSTRING "${_zorp_licence}" ${_zorp_at} -1 _zorp_licence)
  zorp_copyright_body("${_zorp_licence}" ZORP_EXPAT_TEXT)
  file(READ "${PROJECT_SOURCE_DIR}/CREDITS.md" _zorp_credits)
  if(NOT _zorp_credits MATCHES "\n```\n(.*)\n```\n")
    message(FATAL_ERROR "CREDITS.md holds no fenced block with the fonts' licence")
  endif()
  zorp_copyright_body("${CMAKE_MATCH_1}" ZORP_VERA_TEXT)
  configure_file("${_zorp_texts}/copyright.in" "${_zorp_made}/copyright" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               "${PROJECT_SOURCE_DIR}/LICENSE" "${PROJECT_SOURCE_DIR}/CREDITS.md")
  install(FILES "${_zorp_made}/copyright" "${PROJECT_SOURCE_DIR}/CREDITS.md"
          DESTINATION "${CMAKE_INSTALL_DOCDIR}")

  # The manual page and the changelog installed gzipped, as Debian wants,
  # without a name or time stamp so that the package builds the same twice.
  configure_file("${_zorp_texts}/zorp.6.in" "${_zorp_made}/zorp.6" @ONLY)
  set(_zorp_gzipped)
  file(MAKE_DIRECTORY "${_zorp_made}/gz")
  foreach(source "${_zorp_made}/zorp.6" "${_zorp_texts}/changelog")
    get_filename_component(name "${source}" NAME)
    set(gzipped "${_zorp_made}/gz/${name}.gz")
    add_custom_command(OUTPUT "${gzipped}"
                       COMMAND "${CMAKE_COMMAND}" -E copy "${source}" "${_zorp_made}/gz/${name}"
                       COMMAND gzip -9nf "${_zorp_made}/gz/${name}"
                       DEPENDS "${source}" VERBATIM)
    list(APPEND _zorp_gzipped "${gzipped}")
  endforeach()
  add_custom_target(zorp_gzipped_docs ALL DEPENDS ${_zorp_gzipped})
  add_dependencies(zorp_package_files zorp_gzipped_docs)
  install(FILES "${_zorp_made}/gz/zorp.6.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
  install(FILES "${_zorp_made}/gz/changelog.gz" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Debian keeps games in /usr/games (lintian's error
  # package-section-games-but-contains-no-game otherwise): the Debian
  # package's build is configured with -DCMAKE_INSTALL_BINDIR=games, and
  # cpack refuses to make it from a build that is not.
  set(CPACK_ZORP_BINDIR "${CMAKE_INSTALL_BINDIR}")
  set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/PackagingCheck.cmake")
endif()

include(CPack)
