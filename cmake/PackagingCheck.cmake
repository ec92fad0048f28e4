# Read by cpack for each package it makes (CPACK_PROJECT_CONFIG_FILE): a
# Debian package from a build configured for any other layout would put the
# game where Debian does not keep games.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_ZORP_BINDIR STREQUAL "games")
  message(FATAL_ERROR "The Debian package keeps the game in /usr/games: configure this build "
                      "with -DCMAKE_INSTALL_BINDIR=games (it has ${CPACK_ZORP_BINDIR})")
endif()
