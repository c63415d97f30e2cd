# What `cmake --install` puts beside the programs, and the packages CPack
# builds from it, one per role and each with its own description:
#   logdump         the collector for servers: one package per width, the
#                   amd64 .deb and x86_64 .rpm with logdump64, the i386 .deb
#                   and i686 .rpm with logdump; each with logdump(1) and the
#                   README, depending on the C library alone (glibc 2.17 and
#                   later, cmake/Portable.cmake);
#   logdump-report  the analyst's program, built against this machine's
#                   libraries, for the distribution it is built on: a .deb
#                   and an archive, no .rpm;
#   logdump-sim     the simulated vendor CLI and storage libraries with their
#                   scenarios, for rehearsals and training. A server in the
#                   field never gets these.
# The archives follow the same split, but one holds the collector of both
# widths (packaging/cpack-options.cmake). The .debs' Depends come from
# dpkg-shlibdeps, the .rpms' Requires from rpmbuild's own reading of the
# programs.

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
# The collector's page and README go with the program of each width.
foreach(bits IN LISTS WIDTHS)
  install(FILES "${CMAKE_BINARY_DIR}/man/logdump.1.gz" DESTINATION ${_man1} COMPONENT collector${bits})
  install(FILES README.md "${LOGDUMP_PKG_DIR}/copyright" "${_changelog}"
          DESTINATION share/doc/logdump COMPONENT collector${bits})
endforeach()
install(CODE "file(CREATE_LINK logdump.1.gz \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${_man1}/logdump64.1.gz\" SYMBOLIC)"
        COMPONENT collector64)
install(FILES "${CMAKE_BINARY_DIR}/man/logdump-report.1.gz" DESTINATION ${_man1} COMPONENT report)
install(FILES "${LOGDUMP_PKG_DIR}/copyright" "${_changelog}" DESTINATION share/doc/logdump-report COMPONENT report)

# The simulated components. The libraries stay out of the system's library
# path: they are copied into a working directory under the vendor's names.
# Not below /usr/lib either, where CPack would have the .deb call ldconfig,
# which Debian leaves to libc's trigger.
install(TARGETS raidcli_sim RUNTIME DESTINATION bin COMPONENT sim)
set(_sim_libs raidstor_sim64)
if(TARGET raidstor_sim32)
  list(APPEND _sim_libs raidstor_sim32)
endif()
install(TARGETS ${_sim_libs} LIBRARY DESTINATION libexec/logdump-sim COMPONENT sim
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

set(_collectors)
foreach(bits IN LISTS WIDTHS)
  list(APPEND _collectors collector${bits})
endforeach()
set(CPACK_COMPONENTS_ALL ${_collectors} report sim)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)

# An archive is named, and unpacks into a directory named, for its package,
# version and architecture: x86 when it holds programs of both widths. The
# report's names the distribution it is built for.
set(LOGDUMP_ARCHIVE_ARCH amd64)
if(LOGDUMP_BUILD32)
  set(LOGDUMP_ARCHIVE_ARCH x86)
endif()
cmake_host_system_information(RESULT _distro QUERY DISTRIB_ID DISTRIB_VERSION_ID)
string(REPLACE ";" "" _distro "${_distro}")
set(CPACK_ARCHIVE_COLLECTOR_FILE_NAME "logdump-${LOGDUMP_PACKAGE_VERSION}-linux-${LOGDUMP_ARCHIVE_ARCH}")
set(CPACK_ARCHIVE_REPORT_FILE_NAME "logdump-report-${LOGDUMP_PACKAGE_VERSION}-${_distro}-amd64")
set(CPACK_ARCHIVE_SIM_FILE_NAME "logdump-sim-${LOGDUMP_PACKAGE_VERSION}-linux-${LOGDUMP_ARCHIVE_ARCH}")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_ARCHITECTURE x86_64)
set(CPACK_RPM_PACKAGE_LICENSE "Proprietary")
set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
set(CPACK_RPM_PACKAGE_URL "https://example.org/logdump")
# Directories that the system owns; the packages own only their own.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man1)

# logdump_package(COMPONENT NAME SYNOPSIS BODY): a package's name and texts
# for both formats. The synopsis starts the .deb's description and, with a
# capital, is the .rpm's summary; the body is the rest of either.
function(logdump_package component name synopsis body)
  string(TOUPPER "${component}" c)
  string(SUBSTRING "${synopsis}" 0 1 first)
  string(TOUPPER "${first}" first)
  string(SUBSTRING "${synopsis}" 1 -1 rest)
  set(CPACK_DEBIAN_${c}_PACKAGE_NAME "${name}" PARENT_SCOPE)
  set(CPACK_DEBIAN_${c}_DESCRIPTION "${synopsis}\n${body}" PARENT_SCOPE)
  set(CPACK_RPM_${c}_PACKAGE_NAME "${name}" PARENT_SCOPE)
  set(CPACK_RPM_${c}_PACKAGE_SUMMARY "${first}${rest}" PARENT_SCOPE)
  set(CPACK_RPM_${c}_PACKAGE_DESCRIPTION "${body}" PARENT_SCOPE)
endfunction()

set(_collector_body "In one unattended run logdump saves every diagnostic log of every SAS/SATA
RAID controller (through the vendor's command-line tool) and of every SAS
disk behind them (through the vendor's storage library) into one log
directory, for a service engineer to take away. It needs nothing but the C
library, of glibc 2.17 or later.")
logdump_package(collector64 logdump "gathers the logs of RAID controllers and SAS disks"
                "${_collector_body}\nThis package holds logdump64, the 64-bit build.")
set(CPACK_DEBIAN_COLLECTOR64_PACKAGE_ARCHITECTURE amd64)
set(CPACK_RPM_COLLECTOR64_PACKAGE_ARCHITECTURE x86_64)
logdump_package(collector32 logdump "gathers the logs of RAID controllers and SAS disks"
                "${_collector_body}\nThis package holds logdump, the 32-bit build, for servers whose vendor
components are 32-bit; it needs the 32-bit C library.")
set(CPACK_DEBIAN_COLLECTOR32_PACKAGE_ARCHITECTURE i386)
set(CPACK_RPM_COLLECTOR32_PACKAGE_ARCHITECTURE i686)
logdump_package(report logdump-report "judges the disks in logs gathered by logdump"
"logdump-report reads the log directories, or their archives, that logdump
writes on servers, and judges every SAS and SATA disk in them: as text,
JSON, a web page, or metrics for Prometheus. Given several collections of a
server it follows each disk and warns of counters that grew. It is the
analyst's program, built for this distribution; the servers need only
logdump.")
set(CPACK_DEBIAN_REPORT_PACKAGE_SUGGESTS logdump)
logdump_package(sim logdump-sim "simulated RAID vendor components for rehearsing logdump"
"Stand-ins for the RAID controller vendor's command-line tool and storage
library, driven by scenario files, with sample scenarios. They let a
service team rehearse and teach logdump runs, and reproduce field problems,
on a machine without a RAID controller.")
set(CPACK_DEBIAN_SIM_PACKAGE_SUGGESTS logdump)
set(CPACK_RPM_SIM_PACKAGE_SUGGESTS logdump)

# Read back by packaging/cpack-options.cmake, which cpack runs once the
# programs are built: the collector's Depends come from its own sysroot.
set(CPACK_LOGDUMP_PKG_DIR "${LOGDUMP_PKG_DIR}")
set(CPACK_LOGDUMP_PORTABLE "${LOGDUMP_PORTABLE}")
foreach(bits IN LISTS WIDTHS)
  set(CPACK_LOGDUMP_SYSROOT${bits} "${LOGDUMP_SYSROOT${bits}}")
endforeach()
set(CPACK_LOGDUMP_PROGRAM64 "${CMAKE_BINARY_DIR}/logdump64")
set(CPACK_LOGDUMP_PROGRAM32 "${CMAKE_BINARY_DIR}/logdump")

# Per generator: the archives' grouping and top directories, the .rpm's
# components, the collector's Depends.
set(CPACK_POST_BUILD_SCRIPTS "${LOGDUMP_PKG_DIR}/archive-top.cmake")
set(CPACK_PROJECT_CONFIG_FILE "${LOGDUMP_PKG_DIR}/cpack-options.cmake")
include(CPack)

if(LOGDUMP_TESTS AND NOT LOGDUMP_SANITIZE)
  add_test(NAME packaging.deb COMMAND "${LOGDUMP_PKG_DIR}/check-packages.sh" "${CMAKE_BINARY_DIR}")
  # Its first run makes the clean Debian 11 and 12 roots (a few minutes each).
  set_tests_properties(packaging.deb PROPERTIES TIMEOUT 1500)
  # The fleet playbook over simulated hosts on this machine (as root).
  add_test(NAME fleet.ansible COMMAND "${CMAKE_SOURCE_DIR}/fleet/tests/fleet-test.sh" "${CMAKE_BINARY_DIR}")
  set_tests_properties(fleet.ansible PROPERTIES TIMEOUT 1200)
endif()
