# What `cmake --install` puts beside the programs (each program's folder installs it into
# bin): the README and qpedit-here, which starts the installed editor in any folder.

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# qpedit-here finds share/qpedit from its own place, so the path between the two folders
# is written into it, never an absolute one: the same script works under any prefix,
# DESTDIR or the package's /usr.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_DATADIR}")
  file(RELATIVE_PATH QP_DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/qpedit)
else()
  file(RELATIVE_PATH QP_DATA_FROM_BIN /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_DATADIR}/qpedit)
endif()
configure_file(${PROJECT_SOURCE_DIR}/scripts/qpedit-here.in ${CMAKE_BINARY_DIR}/qpedit-here @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/qpedit-here DESTINATION ${CMAKE_INSTALL_BINDIR})
