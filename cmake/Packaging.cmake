# The Debian packages, made by CPack from this build (scripts/package), one per
# install component:
#   libfrimble1     the packet driver library and its capture helper
#   libfrimble-dev  the header, the pkg-config file, the link for linking, frimble(3)
#   quarn-analyzer  the analyzer, quarn-report, quarn-db, their man pages, the
#                   desktop entry and icon
# libfrimble1's postinst makes the group quarn-capture and gives the helper its
# group, mode and capability; no other file holds one. Dependencies on system
# libraries come from dpkg-shlibdeps.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "No Debian package: the install prefix is ${CMAKE_INSTALL_PREFIX}, not /usr")
  return()
endif()

set(QUARN_PACKAGES library libfrimble1 development libfrimble-dev programs quarn-analyzer)

# Every package carries the copyright and the changelog in its own folder.
set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog ${changelog}
  COMMAND gzip -9nf ${changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog}.gz)
set(pairs ${QUARN_PACKAGES})
while(pairs)
  list(POP_FRONT pairs component package)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog}.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
endwhile()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL library development programs)
set(CPACK_PACKAGE_NAME quarn-analyzer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quarn Analyzer developers")
set(CPACK_PACKAGE_CONTACT "Quarn Analyzer developers <quarn-analyzer@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
# <package>_<version>_amd64.deb, the architecture as dpkg names it.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Dependencies on system libraries from dpkg-shlibdeps, which finds this
# build's libfrimble.so.1 here; the programs' dependency on libfrimble1 is the
# component dependency, of exactly this version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/frimble)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
set(CPACK_COMPONENT_PROGRAMS_DEPENDS library)
# A shlibs file for libfrimble.so.1 (in libfrimble1). The ldconfig trigger is
# packaging/triggers; packaging/postrm stands in for CPack's own, which would
# call ldconfig as well.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# adduser makes the group, setcap grants the helper its capability.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS "adduser, libcap2-bin")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst
  ${PROJECT_SOURCE_DIR}/packaging/postrm ${PROJECT_SOURCE_DIR}/packaging/triggers)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION [=[Quarn Analyzer's packet driver library
frimble receives and sends whole Ethernet frames on a network adapter, in
promiscuous mode, through a memory-mapped receive ring, behind a small C
interface of adapter and packet operations.
This package holds the library and its capture helper: the only file that
holds a right (cap_net_raw), which only members of the group quarn-capture
may run. Through it they capture with any program linked against the
library, without sudo.]=])

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION [=[Quarn Analyzer's packet driver library (development files)
frimble receives and sends whole Ethernet frames on a network adapter, in
promiscuous mode, through a memory-mapped receive ring, behind a small C
interface of adapter and packet operations.
This package holds what building a C program against it needs: the header,
the pkg-config file, the link for linking and the manual page frimble(3).]=])

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION net)
# Not seen by dpkg-shlibdeps: Qt's platform plugins (loaded at run time) and
# the SQLite and PostgreSQL drivers of the address database.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite, libqt6sql6-psql")
# Its trigger lists the desktop entry in the MIME cache, so that file managers
# offer the analyzer for capture files.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_RECOMMENDS desktop-file-utils)
set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION [=[Ethernet frame analyser with a decoded text report
Quarn Analyzer captures the Ethernet frames seen by a network adapter, in
promiscuous mode, into a session buffer through two configurable capture
filters, and writes a decoded, human-readable report (output.txt): MAC
addresses, the Ethernet framing, IP, ARP, ICMP, TCP, UDP and IPX header
fields, and a hex and ASCII dump.
This package holds the analyzer (Qt 6), quarn-report, which writes the same
report from a pcap or pcapng file or from a live capture of its own, and
quarn-db, which fills the address database of known computers behind the
filter window's look-ups (SQLite, or a shared PostgreSQL database).
Members of the group quarn-capture capture without sudo.]=])

include(CPack)
set(QUARN_PACKAGE_CONFIG ${PROJECT_BINARY_DIR}/CPackConfig.cmake)
