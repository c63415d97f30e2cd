# Read by cpack once per generator, after the programs are built.

# An archive gets a top directory, so that unpacking it puts nothing loose
# into the current directory; a .deb must not. The collector's archive holds
# both widths, for whoever copies a program to a server by hand.
if(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
  set(CPACK_COMPONENT_COLLECTOR64_GROUP collector)
  set(CPACK_COMPONENT_COLLECTOR32_GROUP collector)
else()
  set(CPACK_COMPONENTS_GROUPING IGNORE)
endif()

# The .rpm is for RHEL and SLES servers: logdump-report, built against this
# Debian's libraries, has none.
if(CPACK_GENERATOR STREQUAL "RPM")
  list(REMOVE_ITEM CPACK_COMPONENTS_ALL report)
endif()

# The collector's Depends, computed by dpkg-shlibdeps against the C library
# each program is built for (the portable build's sysroot). On this machine
# the 32-bit program would find the amd64 package libc6-i386, which an i386
# package cannot depend on. Without the sysroots (LOGDUMP_PORTABLE=OFF) the
# programs need this machine's libraries, and CPack asks them.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_LOGDUMP_PORTABLE)
  foreach(bits 64 32)
    list(FIND CPACK_COMPONENTS_ALL collector${bits} found)
    if(found EQUAL -1)
      continue()
    endif()
    execute_process(COMMAND "${CPACK_LOGDUMP_PKG_DIR}/shlibdeps.sh" "${CPACK_LOGDUMP_PROGRAM${bits}}"
                            "${CPACK_LOGDUMP_SYSROOT${bits}}"
                    OUTPUT_VARIABLE depends RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT rc EQUAL 0 OR depends STREQUAL "")
      message(FATAL_ERROR "dpkg-shlibdeps found no Depends for ${CPACK_LOGDUMP_PROGRAM${bits}}")
    endif()
    set(CPACK_DEBIAN_COLLECTOR${bits}_PACKAGE_SHLIBDEPS OFF)
    set(CPACK_DEBIAN_COLLECTOR${bits}_PACKAGE_DEPENDS "${depends}")
  endforeach()
endif()
