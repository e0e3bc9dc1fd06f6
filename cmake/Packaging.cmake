# The Debian package, made from the install rules by CPack:
#   cmake --build build --target package    ->  build/qpedit_VERSION_ARCH.deb
# Depends is computed from the packaged programs' shared libraries by dpkg-shlibdeps
# (dpkg-dev), so it follows whatever the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qpedit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "qpedit developers")
# The Maintainer field; whoever builds a package for others sets their own address.
set(QP_PACKAGE_CONTACT "qpedit developers <qpedit@example.org>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_CONTACT "${QP_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live keyboard-driven particle effect editor and its tools")
# Lines of the long description as dpkg shows them (at most 79 characters each).
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "qpedit edits one particle effect of a small real-time 3D engine live in an"
  "OpenGL window, from the keyboard, and saves it to a small binary effect file"
  "(.QP). qpedit-here starts it in any folder on the installed default texture."
  "The package also holds qtex (PNG to QTEX textures), qfont (fonts to bitmap"
  "fonts), llpack (resource archives), qprender (deterministic previews into PNG"
  "files, without a window) and qptool (effect files as text)."
  "Free software under the MIT (Expat) licence.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package/staged-files.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package/archive-modes.cmake)
set(CPACK_QP_STRIP ${CMAKE_STRIP})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs draw through Mesa when the machine has no other OpenGL driver; qprender
# opens libEGL only when it is there (rendering with no X server), so it isn't in Depends.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libegl1, libegl-mesa0, libgl1-mesa-dri, libglx-mesa0")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Every time stamp in the package (the files', the archive members') is the source's
# time (SOURCE_DATE_EPOCH, cmake/SourceDate.cmake), read when cpack runs, so two
# packages of one commit are the same bytes.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/package/CPackTime.cmake)
file(CONFIGURE OUTPUT ${CPACK_PROJECT_CONFIG_FILE}
     CONTENT "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${QP_SOURCE_DATE_EPOCH})
  set(ENV{QP_SOURCE_DATE_FROM_BUILD} 1)
endif()
")

include(CPack)
