# Read by cpack once per generator. An archive gets a top directory, so that
# unpacking it puts nothing loose into the current directory; a .deb must not.
if(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
