# The Debian package quarn-analyzer, made by CPack from this build (scripts/package):
# the analyzer, quarn-report, quarn-db, libfrimble with its header and pkg-config
# file, the man pages, the desktop entry and icon. Its postinst grants the
# analyzer its capabilities; its dependencies come from dpkg-shlibdeps.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "No Debian package: the install prefix is ${CMAKE_INSTALL_PREFIX}, not /usr")
  return()
endif()

set(QUARN_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quarn-analyzer)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${QUARN_PACKAGE_DOCDIR})
set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog ${changelog}
  COMMAND gzip -9nf ${changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${changelog}.gz DESTINATION ${QUARN_PACKAGE_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarn-analyzer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quarn Analyzer developers")
set(CPACK_PACKAGE_CONTACT "Quarn Analyzer developers <quarn-analyzer@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
# quarn-analyzer_1.0.0_amd64.deb, the architecture as dpkg names it.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[Ethernet frame analyser with a decoded text report
Quarn Analyzer captures the Ethernet frames seen by the machine's first
network adapter, in promiscuous mode, into a session buffer through two
configurable capture filters, and writes a decoded, human-readable report
(output.txt): MAC addresses, the Ethernet framing, IP, ARP, ICMP, TCP, UDP
and IPX header fields, and a hex and ASCII dump.
This package holds the analyzer (Qt 6), quarn-report, which writes the same
report from a pcap or pcapng file or from a live capture of its own,
quarn-db, which fills the address database of known computers behind the
filter window's look-ups (SQLite, or a shared PostgreSQL database), and the
packet driver library frimble with its C header and pkg-config file.]=])
# Found by dpkg-shlibdeps: every library the programs link. Listed here only what
# it cannot see: setcap for the postinst, Qt's platform plugins (loaded at run
# time) and the SQLite and PostgreSQL drivers of the address database.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin, qt6-qpa-plugins, libqt6sql6-sqlite, libqt6sql6-psql")
# A shlibs file for libfrimble.so.1. The ldconfig trigger is packaging/triggers;
# CPack adds a postrm that calls ldconfig as well.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
set(QUARN_PACKAGE_CONFIG ${PROJECT_BINARY_DIR}/CPackConfig.cmake)
