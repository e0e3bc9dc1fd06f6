# QP_SOURCE_DATE_EPOCH: the time of the last commit (or SOURCE_DATE_EPOCH when the caller
# sets it), the one time the built files carry: the manual pages' dates and every time
# stamp in the Debian package. Two builds of one commit then give the same bytes, whenever
# and wherever they run. A source tree without git history falls back to the time of the
# latest entry of the package's changelog.
#
# cpack sets SOURCE_DATE_EPOCH to this time for itself (and marks it so); when it makes
# CMake configure again on the way, that value is the build's own, not the caller's.
find_package(Git QUIET)
set(git_time "")
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE git_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET)
  # A new commit moves HEAD's log: configure again, so the time follows the commit.
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE git_dir OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET)
  if(git_dir AND EXISTS "${git_dir}/logs/HEAD")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_dir}/logs/HEAD")
  endif()
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT DEFINED ENV{QP_SOURCE_DATE_FROM_BUILD})
  set(QP_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
elseif(git_time MATCHES "^[0-9]+$")
  set(QP_SOURCE_DATE_EPOCH ${git_time})
else()
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/package/changelog last_entry REGEX "^ -- " LIMIT_COUNT 1)
  string(REGEX REPLACE "^.*>  " "" last_date "${last_entry}")
  execute_process(COMMAND date -u -d "${last_date}" +%s OUTPUT_VARIABLE QP_SOURCE_DATE_EPOCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(NOT QP_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "No time for the built files: SOURCE_DATE_EPOCH is '${QP_SOURCE_DATE_EPOCH}', not seconds")
endif()

# string(TIMESTAMP) reads it from the environment too.
set(ENV{SOURCE_DATE_EPOCH} ${QP_SOURCE_DATE_EPOCH})
# Rules that use the time depend on this file, which changes only when the time does.
set(QP_SOURCE_DATE_FILE ${CMAKE_BINARY_DIR}/source-date-epoch)
file(CONFIGURE OUTPUT ${QP_SOURCE_DATE_FILE} CONTENT "${QP_SOURCE_DATE_EPOCH}\n")
