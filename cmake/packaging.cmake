# What `cmake --install` puts beside the programs, and the packages CPack
# builds from it (a .deb, an .rpm and a .tar.gz of each):
#   logdump      the programs, their man pages and the README; the .deb and
#                the .tar.gz also hold logdump-report (component report), a
#                program of the analyst's machine built against this Debian's
#                libraries, which the .rpm for RHEL and SLES servers leaves out;
#   logdump-sim  the simulated vendor CLI and storage libraries with their
#                scenarios, for rehearsals and training. A server in the
#                field never gets these.
# Every install rule without a component of its own (the programs) belongs to
# the first package, so that a new program lands there without an edit here.
# The .deb's Depends come from dpkg-shlibdeps, the .rpm's Requires from
# rpmbuild's own reading of the programs.

set(LOGDUMP_PKG_DIR "${CMAKE_SOURCE_DIR}/packaging")

# Man pages, compressed without a time stamp so that two builds give the same
# bytes. logdump64 shares the page of logdump.
set(_man_out)
foreach(page IN ITEMS logdump logdump-report raidcli_sim)
  set(out "${CMAKE_BINARY_DIR}/man/${page}.1.gz")
  add_custom_command(OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/man"
    COMMAND gzip -9nc "${CMAKE_SOURCE_DIR}/man/${page}.1" > "${out}"
    DEPENDS "${CMAKE_SOURCE_DIR}/man/${page}.1" VERBATIM)
  list(APPEND _man_out "${out}")
endforeach()
add_custom_target(manpages ALL DEPENDS ${_man_out})

# Debian wants a changelog of a native package compressed, without a time stamp.
set(_changelog "${CMAKE_BINARY_DIR}/packaging/changelog.gz")
add_custom_command(OUTPUT "${_changelog}"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/packaging"
  COMMAND gzip -9nc "${LOGDUMP_PKG_DIR}/changelog" > "${_changelog}"
  DEPENDS "${LOGDUMP_PKG_DIR}/changelog" VERBATIM)
add_custom_target(pkgchangelog ALL DEPENDS "${_changelog}")

set(_man1 share/man/man1)
install(FILES "${CMAKE_BINARY_DIR}/man/logdump.1.gz" DESTINATION ${_man1} COMPONENT main)
install(FILES "${CMAKE_BINARY_DIR}/man/logdump-report.1.gz" DESTINATION ${_man1} COMPONENT report)
install(CODE "file(CREATE_LINK logdump.1.gz \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${_man1}/logdump64.1.gz\" SYMBOLIC)"
        COMPONENT main)
install(FILES README.md "${LOGDUMP_PKG_DIR}/copyright" "${_changelog}"
        DESTINATION share/doc/logdump COMPONENT main)

# The simulated components. The libraries stay out of the system's library
# path: they are copied into a working directory under the vendor's names.
install(TARGETS raidcli_sim RUNTIME DESTINATION bin COMPONENT sim)
set(_sim_libs raidstor_sim64)
if(TARGET raidstor_sim32)
  list(APPEND _sim_libs raidstor_sim32)
endif()
install(TARGETS ${_sim_libs} LIBRARY DESTINATION lib/logdump-sim COMPONENT sim
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(DIRECTORY sim/scenarios/ DESTINATION share/logdump-sim/scenarios COMPONENT sim)
install(FILES "${CMAKE_BINARY_DIR}/man/raidcli_sim.1.gz" DESTINATION ${_man1} COMPONENT sim)
install(FILES sim/README.md "${LOGDUMP_PKG_DIR}/copyright" "${_changelog}"
        DESTINATION share/doc/logdump-sim COMPONENT sim)

set(CPACK_PACKAGE_NAME logdump)
set(CPACK_PACKAGE_VERSION "${LOGDUMP_PACKAGE_VERSION}")
set(CPACK_PACKAGE_VENDOR "logdump maintainers")
set(CPACK_PACKAGE_CONTACT "logdump maintainers <logdump@example.org>")
set(CPACK_GENERATOR DEB RPM TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/packages")

set(CPACK_COMPONENTS_ALL Unspecified main report sim)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENT_UNSPECIFIED_GROUP main)
set(CPACK_COMPONENT_MAIN_GROUP main)
set(CPACK_COMPONENT_REPORT_GROUP main)
set(CPACK_COMPONENT_SIM_GROUP sim)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
# An archive is named, and unpacks into a directory named, for its package,
# version and architecture: x86 when it holds programs of both widths.
set(LOGDUMP_ARCHIVE_ARCH amd64)
if(LOGDUMP_BUILD32)
  set(LOGDUMP_ARCHIVE_ARCH x86)
endif()
set(CPACK_ARCHIVE_MAIN_FILE_NAME "logdump-${LOGDUMP_PACKAGE_VERSION}-linux-${LOGDUMP_ARCHIVE_ARCH}")
set(CPACK_ARCHIVE_SIM_FILE_NAME "logdump-sim-${LOGDUMP_PACKAGE_VERSION}-linux-${LOGDUMP_ARCHIVE_ARCH}")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_MAIN_PACKAGE_NAME logdump)
# The first line of a description is the package's synopsis.
set(CPACK_DEBIAN_MAIN_DESCRIPTION "gathers the logs of RAID controllers and SAS disks
In one unattended run logdump saves every diagnostic log of every SAS/SATA
RAID controller (through the vendor's command-line tool) and of every SAS
disk behind them (through the vendor's storage library) into one log
directory, for a service engineer to take away. logdump is the 32-bit
build, logdump64 the 64-bit one.")
set(CPACK_DEBIAN_SIM_PACKAGE_NAME logdump-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_SUGGESTS "logdump")
set(CPACK_DEBIAN_SIM_DESCRIPTION "simulated RAID vendor components for rehearsing logdump
Stand-ins for the RAID controller vendor's command-line tool and storage
library, driven by scenario files, with sample scenarios. They let a
service team rehearse and teach logdump runs, and reproduce field problems,
on a machine without a RAID controller.")

set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_ARCHITECTURE x86_64)
set(CPACK_RPM_PACKAGE_LICENSE "Proprietary")
set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
set(CPACK_RPM_PACKAGE_URL "https://example.org/logdump")
set(CPACK_RPM_MAIN_PACKAGE_NAME logdump)
set(CPACK_RPM_SIM_PACKAGE_NAME logdump-sim)
set(CPACK_RPM_SIM_PACKAGE_SUGGESTS logdump)
set(CPACK_RPM_MAIN_PACKAGE_SUMMARY "Gathers the logs of RAID controllers and SAS disks")
set(CPACK_RPM_SIM_PACKAGE_SUMMARY "Simulated RAID vendor components for rehearsing logdump")
# The same texts as the .deb's, less the synopsis line.
string(REGEX REPLACE "^[^\n]*\n" "" CPACK_RPM_MAIN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_MAIN_DESCRIPTION}")
string(REGEX REPLACE "^[^\n]*\n" "" CPACK_RPM_SIM_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_SIM_DESCRIPTION}")
# Directories that the system owns; the packages own only their own.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man1)

# Per generator: the archives' top directories, the .rpm's components.
set(CPACK_POST_BUILD_SCRIPTS "${LOGDUMP_PKG_DIR}/archive-top.cmake")
set(CPACK_PROJECT_CONFIG_FILE "${LOGDUMP_PKG_DIR}/cpack-options.cmake")
include(CPack)

if(LOGDUMP_TESTS AND NOT LOGDUMP_SANITIZE)
  add_test(NAME packaging.deb COMMAND "${LOGDUMP_PKG_DIR}/check-packages.sh" "${CMAKE_BINARY_DIR}")
  # Its first run makes the clean Debian 12 root (a few minutes).
  set_tests_properties(packaging.deb PROPERTIES TIMEOUT 1500)
  # The fleet playbook over three simulated hosts on this machine (as root).
  add_test(NAME fleet.ansible COMMAND "${CMAKE_SOURCE_DIR}/fleet/tests/fleet-test.sh" "${CMAKE_BINARY_DIR}")
  set_tests_properties(fleet.ansible PROPERTIES TIMEOUT 1200)
endif()
