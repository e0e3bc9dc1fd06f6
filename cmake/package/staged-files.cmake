# Run by cpack on the staged files before it packs them:
# - every folder gets rwxr-xr-x, whatever the umask of the one who builds (the files
#   already have the modes their install rules give), so the package's bytes don't
#   depend on it;
# - the programs, already stripped, also lose the sections that only say which compiler
#   made them (.comment) and old-style notes (.note), as Debian's own packages do.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(path IN ITEMS "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" LISTS staged)
  if(IS_DIRECTORY "${path}")
    file(CHMOD "${path}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                               WORLD_READ WORLD_EXECUTE)
  elseif(path MATCHES "/bin/[^/]+$")
    file(READ "${path}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
      execute_process(COMMAND ${CPACK_QP_STRIP} --remove-section=.comment --remove-section=.note "${path}"
                      RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "strip failed on ${path}")
      endif()
    endif()
  endif()
endforeach()
