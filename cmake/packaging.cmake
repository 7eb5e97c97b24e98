# What cpack makes in a build of the program: on Linux a Debian package
# (verrant_<version>_<arch>.deb), on Windows a zip for Windows users
# (verrant-<version>-win32.zip, or -win64.zip).

set(CPACK_PACKAGE_NAME verrant)
set(CPACK_PACKAGE_VENDOR "The Verrant developers")
set(CPACK_PACKAGE_CONTACT "The Verrant developers <verrant@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fill a drive with a huge, regular tree of empty folders")
set(CPACK_STRIP_FILES ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(doc ${PROJECT_SOURCE_DIR}/doc)

# Packages of one commit are the same bytes wherever and whenever made:
# cpack stamps every file with SOURCE_DATE_EPOCH, which this script sets.
configure_file(${PROJECT_SOURCE_DIR}/cmake/cpack-time.cmake.in
  ${PROJECT_BINARY_DIR}/cpack-time.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack-time.cmake)
set(made ${PROJECT_BINARY_DIR}/doc)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  # Windows users read it in Notepad: CR LF line ends.
  configure_file(${doc}/README-windows.txt.in ${made}/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS verrant RUNTIME DESTINATION .)
  install(FILES ${made}/README.txt DESTINATION .)
else()
  include(GNUInstallDirs)
  configure_file(${doc}/verrant.1.in ${made}/verrant.1 @ONLY)
  configure_file(${doc}/changelog.in ${made}/changelog @ONLY)
  configure_file(${doc}/copyright.in ${made}/copyright @ONLY)
  # Debian wants both compressed at the highest level, with no name or time
  # stamp in the gzip header.
  foreach(page verrant.1 changelog)
    add_custom_command(OUTPUT ${made}/${page}.gz
      COMMAND gzip -9nc ${made}/${page} > ${made}/${page}.gz
      DEPENDS ${made}/${page})
  endforeach()
  add_custom_target(compressed_docs ALL DEPENDS ${made}/verrant.1.gz ${made}/changelog.gz)
  install(TARGETS verrant RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${made}/verrant.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${made}/copyright ${made}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # cpack puts the summary above this as the synopsis.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Verrant asks for a drive letter, then creates the folder 1_100billion on
that drive and, beneath it, six nested levels of one hundred numbered
folders each, printing every path as it goes. A complete run asks for more
than a trillion folders, far more than any file system holds; once the
drive is full every further folder is reported as a failure, until the
run is stopped with Ctrl-C.
.
On Linux a drive letter leads to a folder: drive C is ${VERRANT_DRIVE_ROOT}/c.")
endif()

include(CPack)
