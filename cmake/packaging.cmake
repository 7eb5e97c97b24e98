# What cpack makes in a build of the program (doc/packaging.md tells each):
# on Linux a Debian package, an RPM package and the static program's
# tarball, on Windows a zip.

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

  # The architecture as the table names it: the cross preset's, or else
  # the machine's own as dpkg calls it.
  set(arch ${VERRANT_ARCH})
  if(NOT arch)
    execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(arch IN_LIST VERRANT_LINUX_ARCHITECTURE_NAMES)
    verrant_architecture(${arch} row)
  endif()

  # The static program, for any Linux: only in the tarball, never in a
  # plain install.
  set(CPACK_GENERATOR DEB)
  if(VERRANT_STATIC)
    add_verrant_program(verrant_static ${VERRANT_FOLDERS_PER_LEVEL} "${VERRANT_DRIVE_ROOT}")
    target_link_options(verrant_static PRIVATE -static)
    set_target_properties(verrant_static PROPERTIES OUTPUT_NAME verrant RUNTIME_OUTPUT_DIRECTORY static)
    install(TARGETS verrant_static DESTINATION . COMPONENT static EXCLUDE_FROM_ALL)
    install(FILES ${made}/verrant.1 ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
      DESTINATION . COMPONENT static EXCLUDE_FROM_ALL)
    set(CPACK_VERRANT_TARBALL verrant-${PROJECT_VERSION}-linux-${arch})
    list(APPEND CPACK_GENERATOR TGZ)
  endif()

  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # cpack has no variable for the Multi-Arch field: it goes on a line of its
  # own after the section's. The program can serve any architecture's package
  # that depends on it.
  set(CPACK_DEBIAN_PACKAGE_SECTION "utils\nMulti-Arch: foreign")
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The packages' description; cpack puts the summary above it as the synopsis.
  file(READ ${doc}/description.txt.in description)
  string(STRIP "${description}" description)
  string(CONFIGURE "${description}" CPACK_PACKAGE_DESCRIPTION @ONLY)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")

  find_program(VERRANT_RPMBUILD rpmbuild)
  if(VERRANT_RPMBUILD AND row_RPM AND NOT row_RPM STREQUAL "-")
    list(APPEND CPACK_GENERATOR RPM)
    set(CPACK_RPM_PACKAGE_ARCHITECTURE ${row_RPM})
    set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
    set(CPACK_RPM_PACKAGE_RELEASE 1)
    set(CPACK_RPM_PACKAGE_LICENSE MIT)
    set(CPACK_RPM_PACKAGE_SUMMARY "Fill a drive with a huge, regular tree of empty folders")
    set(CPACK_RPM_PACKAGE_URL "https://example.com/verrant")
    set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
    file(WRITE ${made}/rpm-changelog "* Tue Dec 08 2026 ${CPACK_PACKAGE_CONTACT} - ${PROJECT_VERSION}-1
- Packaged for RPM distributions.\n")
    set(CPACK_RPM_CHANGELOG_FILE ${made}/rpm-changelog)
    # RPM distributions keep the licence in a folder of its own.
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/licenses/verrant
      COMPONENT rpm EXCLUDE_FROM_ALL)
    # The folders every system owns stay out of the package.
    list(APPEND CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man1 /usr/share/doc /usr/share/licenses)
    # The build host is one fixed name, and the build time and every file's
    # the commit's, as in the other packages. That replaces rpm's own
    # post-install scripts, which would strip another architecture's
    # program with this machine's tools: cpack has stripped it already.
    set(CPACK_RPM_SPEC_MORE_DEFINE "%define _buildhost reproducible
%define packager ${CPACK_PACKAGE_CONTACT}
%define _build_id_links none
%define use_source_date_epoch_as_buildtime 1
%define __os_install_post test -z $SOURCE_DATE_EPOCH || find %{buildroot} -exec touch -h -d @$SOURCE_DATE_EPOCH {} +")
  endif()
endif()

include(CPack)
