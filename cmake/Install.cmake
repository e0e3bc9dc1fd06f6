# What `cmake --install` puts beside the programs (each program's folder installs it into
# bin): the README with its pictures, the licence and the changelog in the form Debian
# reads them, the shell completions, lintian's notes on the package, and qpedit-here,
# which starts the installed editor in any folder.

# The README's pictures keep their place beside it, so its links work where it is installed.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
file(STRINGS ${PROJECT_SOURCE_DIR}/README.md readme_lines REGEX "docs/[a-z]+\\.png")
string(REGEX MATCHALL "docs/[a-z]+\\.png" readme_pictures "${readme_lines}")
list(REMOVE_DUPLICATES readme_pictures)
list(SORT readme_pictures)
list(TRANSFORM readme_pictures PREPEND ${PROJECT_SOURCE_DIR}/)
install(FILES ${readme_pictures} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

# The licence as a machine-readable copyright file, and the changelog gzipped without a
# name or time inside (gzip -n), so the same text gives the same bytes.
install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(changelog_gz ${CMAKE_BINARY_DIR}/package/changelog.gz)
add_custom_command(
  OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package
  COMMAND sh -c "gzip -9nc \"$0\" >\"$1\"" ${PROJECT_SOURCE_DIR}/cmake/package/changelog ${changelog_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/package/changelog
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME qpedit)

# bash-completion loads completions/PROGRAM the first time PROGRAM is completed.
file(GLOB completions LIST_DIRECTORIES false ${PROJECT_SOURCE_DIR}/completions/*)
list(SORT completions)
install(FILES ${completions} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

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
