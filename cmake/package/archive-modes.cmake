# Run by cpack on the finished .deb: cpack gives each member of the outer ar archive the
# mode its temporary file got from the umask of the one who builds; every member is set to
# rw-r--r-- (what dpkg-deb writes), so the package's bytes don't depend on that umask.
# An ar member's header is 60 bytes: name (16), time (12), owner (6), group (6), mode (8,
# octal), size (10, decimal) and "`\n"; its data follows, padded to an even length.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  file(SIZE "${deb}" deb_size)
  set(header 8)
  while(header LESS deb_size)
    math(EXPR size_at "${header} + 48")
    file(READ "${deb}" member_size OFFSET ${size_at} LIMIT 10)
    string(STRIP "${member_size}" member_size)
    if(NOT member_size MATCHES "^[0-9]+$")
      message(FATAL_ERROR "${deb}: no ar member header at byte ${header}")
    endif()
    math(EXPR mode_at "${header} + 40")
    execute_process(COMMAND sh -c "printf '100644  ' | dd of=\"$0\" bs=1 seek=\"$1\" conv=notrunc status=none"
                            "${deb}" ${mode_at}
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${deb}: couldn't set the mode of the ar member at byte ${header}")
    endif()
    math(EXPR header "${header} + 60 + ${member_size} + ${member_size} % 2")
  endwhile()
endforeach()
