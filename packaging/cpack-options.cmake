# Read by cpack once per generator. An archive gets a top directory, so that
# unpacking it puts nothing loose into the current directory; a .deb must not.
if(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
# The .rpm is for RHEL and SLES servers: logdump-report, built against this
# Debian's libraries, stays out of it.
if(CPACK_GENERATOR STREQUAL "RPM")
  set(CPACK_COMPONENTS_ALL Unspecified main sim)
endif()
