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
# lintian's overrides: the studio's only when the build installs the studio (a tag the
# package can't raise makes its override "unused", itself a finding).
file(READ ${PROJECT_SOURCE_DIR}/cmake/package/lintian-overrides lintian_overrides)
if(QP_WEB)
  file(READ ${PROJECT_SOURCE_DIR}/cmake/package/lintian-overrides-web lintian_overrides_web)
  string(APPEND lintian_overrides "${lintian_overrides_web}")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/package/lintian-overrides "${lintian_overrides}")
install(FILES ${CMAKE_BINARY_DIR}/package/lintian-overrides
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

# The studio page for qpedit-web: its own emscripten build (web/) in the build tree, run
# every build (incremental, so quick when nothing changed), its page files and the
# module installed in share/qpedit/web, where qpedit-web looks from bin/.
if(QP_WEB)
  if(NOT QP_EMCMAKE)
    message(FATAL_ERROR "QP_WEB needs emscripten's emcmake: install emscripten (scripts/web.sh does)")
  endif()
  set(web_build ${CMAKE_BINARY_DIR}/web-page)
  # Debian's emscripten runs its tools with whatever node is first on PATH; that one may
  # not search Debian's node modules.
  # Its own make runs apart from this build's (no jobserver to share).
  set(web_env ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS --unset=MFLAGS "NODE_PATH=/usr/share/nodejs:$ENV{NODE_PATH}")
  add_custom_target(studio_web ALL
    COMMAND ${web_env} ${QP_EMCMAKE} ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR}/web -B ${web_build}
            -DCMAKE_BUILD_TYPE=Release
    COMMAND ${web_env} ${CMAKE_COMMAND} --build ${web_build}
    BYPRODUCTS ${web_build}/qpstudio.mjs ${web_build}/qpstudio.wasm
    COMMENT "Building the studio page (emscripten)"
    VERBATIM)
  file(GLOB studio_page_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/web/studio/*)
  list(SORT studio_page_files)
  install(FILES ${studio_page_files} ${web_build}/qpstudio.mjs ${web_build}/qpstudio.wasm
          DESTINATION ${CMAKE_INSTALL_DATADIR}/qpedit/web)
endif()
