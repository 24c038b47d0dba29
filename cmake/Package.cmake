# The Debian package: `cpack -G DEB` in a build folder (scripts/package builds
# Release first). Everything `cmake --install` puts in place goes into it under
# /usr, with the dependencies dpkg-shlibdeps finds in the programs.

set(TUMBLIX_PACKAGE_MAINTAINER "Tumblix maintainers <maintainers@users.noreply.c-seed-80583942.example>"
  CACHE STRING "Maintainer named in the Debian package and its changelog")

# Debian's documentation of a package: its copyright and a compressed
# changelog, with the version of the project.
set(TUMBLIX_PACKAGE_DATE "Mon, 07 Dec 2026 12:00:00 +0000")
configure_file(${PROJECT_SOURCE_DIR}/data/changelog.in ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)

# Man pages and the changelog are installed compressed, as Debian keeps them;
# the man pages carry the version of the project.
configure_file(${PROJECT_SOURCE_DIR}/data/tumblix.6 ${PROJECT_BINARY_DIR}/man/tumblix.6 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/tumblix-brew.1 ${PROJECT_BINARY_DIR}/man/tumblix-brew.1 @ONLY)
find_program(GZIP_PROGRAM gzip)
set(compressed "")
foreach(file man/tumblix.6 man/tumblix-brew.1 doc/changelog)
  if(GZIP_PROGRAM)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${file}.gz
      COMMAND ${GZIP_PROGRAM} -9 -n -k -f ${PROJECT_BINARY_DIR}/${file}
      DEPENDS ${PROJECT_BINARY_DIR}/${file} VERBATIM)
    list(APPEND compressed ${PROJECT_BINARY_DIR}/${file}.gz)
  endif()
endforeach()
add_custom_target(tumblix_compressed ALL DEPENDS ${compressed})

set(suffix "")
if(GZIP_PROGRAM)
  set(suffix ".gz")
endif()
install(FILES ${PROJECT_BINARY_DIR}/man/tumblix.6${suffix} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${PROJECT_BINARY_DIR}/man/tumblix-brew.1${suffix} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/copyright ${PROJECT_BINARY_DIR}/doc/changelog${suffix}
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tumblix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tumblix developers")
set(CPACK_PACKAGE_CONTACT ${TUMBLIX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D screen saver of glass bottles that tumble and clink")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Up to five textured glass bottles float, tumble, rebound from the edges\n"
  "of the screen and from each other, and clink when they meet, over a\n"
  "picture of the desktop, the desktop picture, a picture from a folder or\n"
  "a plain colour. A clock, a countdown and a banner can be shown over it.\n"
  "\n"
  "The package holds the saver for XScreenSaver and MATE's screen saver,\n"
  "its settings window, its content, and tumblix-brew, which makes and\n"
  "checks bottle types.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TUMBLIX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SDL opens EGL, GLX and Mesa's drivers at run time, so dpkg-shlibdeps cannot see
# them; headless rendering needs both.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libegl1, libgl1, libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | mate-screensaver")
set(CPACK_SOURCE_GENERATOR "")
# Directories in the package are 0755 whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
