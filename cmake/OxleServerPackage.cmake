# The Debian package of the PC side, oxle-server: the server, its unit, its configuration
# (a conffile, kept on remove and deleted on purge), the example and the manual page.
# `./oxle package pc` configures a Release tree with OXLE_PACKAGE_SERVER=ON and runs cpack.

# The version the server tells the box is the package's version.
file(STRINGS ${PROJECT_SOURCE_DIR}/server/CommandHandler.cpp OXLE_VERSION_LINE
     REGEX "constexpr const char\\* kVersion = \"[0-9.]+\";")
if(NOT OXLE_VERSION_LINE MATCHES "\"([0-9.]+)\"")
  message(FATAL_ERROR "no kVersion in server/CommandHandler.cpp: the package needs a version")
endif()
set(OXLE_SERVER_VERSION ${CMAKE_MATCH_1})
set(OXLE_MAINTAINER "oxle maintainers <oxle@example.org>")

# Dates and commit of the last commit, so that one checkout always gives the same package.
execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                OUTPUT_VARIABLE OXLE_COMMIT_TIME OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%h
                OUTPUT_VARIABLE OXLE_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT OXLE_COMMIT_TIME)
  set(OXLE_COMMIT_TIME 0)
  set(OXLE_COMMIT unknown)
endif()
execute_process(COMMAND date -u -R -d @${OXLE_COMMIT_TIME}
                OUTPUT_VARIABLE OXLE_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)

set(OXLE_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package-files)
set(OXLE_DOC_DIR share/doc/oxle-server)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${OXLE_PACKAGE_DIR}/changelog @ONLY)
# Debian's documentation is gzipped without a name or time stamp in the header.
add_custom_command(
  OUTPUT ${OXLE_PACKAGE_DIR}/oxle_x86.1.gz ${OXLE_PACKAGE_DIR}/changelog.gz
  COMMAND gzip -n -9 -c ${PROJECT_SOURCE_DIR}/server/oxle_x86.1 > ${OXLE_PACKAGE_DIR}/oxle_x86.1.gz
  COMMAND gzip -n -9 -c ${OXLE_PACKAGE_DIR}/changelog > ${OXLE_PACKAGE_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/server/oxle_x86.1 ${OXLE_PACKAGE_DIR}/changelog
  VERBATIM)
add_custom_target(oxle-server-package-files ALL
                  DEPENDS ${OXLE_PACKAGE_DIR}/oxle_x86.1.gz ${OXLE_PACKAGE_DIR}/changelog.gz)

install(TARGETS oxle_x86 RUNTIME DESTINATION bin)
# Debian 12 keeps units under /lib; the prefix is /usr.
install(FILES ${PROJECT_SOURCE_DIR}/server/oxle_x86.service DESTINATION /lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/server/oxle_x86.conf.example DESTINATION /etc/oxle RENAME oxle_x86.conf)
install(FILES ${PROJECT_SOURCE_DIR}/server/oxle_x86.conf.example ${PROJECT_SOURCE_DIR}/packaging/copyright
              ${OXLE_PACKAGE_DIR}/changelog.gz
        DESTINATION ${OXLE_DOC_DIR})
install(FILES ${OXLE_PACKAGE_DIR}/oxle_x86.1.gz DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME oxle-server)
set(CPACK_PACKAGE_VERSION ${OXLE_SERVER_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "media server for a satellite set-top box (oxle's PC side)")
# CPack puts the summary above it as the first line.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "oxle_x86 lets the oxle plugin of a set-top box browse the folders, media\n"
    "folder and DVD/(S)VCD drive of this PC and play a file or a chapter on the\n"
    "TV: it lists the shared folders to the box and streams each file as an MPEG\n"
    "transport stream made by ffmpeg.\n"
    "\n"
    "It runs as the service oxle_x86 under its own user, configured in\n"
    "/etc/oxle/oxle_x86.conf; oxle_x86 --check says what is wrong before a start.")
set(CPACK_DEBIAN_PACKAGE_NAME oxle-server)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${OXLE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
# The libraries come from dpkg-shlibdeps; ffmpeg runs as a program and adduser makes the user.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/deb/conffiles ${PROJECT_SOURCE_DIR}/packaging/deb/postinst
    ${PROJECT_SOURCE_DIR}/packaging/deb/prerm ${PROJECT_SOURCE_DIR}/packaging/deb/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/out)
include(CPack)
