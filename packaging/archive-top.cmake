# Run by cpack after it made the packages (CPACK_POST_BUILD_SCRIPTS): each
# .tar.gz gets a top directory named like the archive itself (package,
# version, architecture). cpack names the top directory of every
# component's archive after the whole project, so that both archives would
# unpack into the same directory.
foreach(archive IN LISTS CPACK_PACKAGE_FILES)
  if(NOT archive MATCHES "\\.tar\\.gz$")
    continue()
  endif()
  get_filename_component(name "${archive}" NAME)
  string(REGEX REPLACE "\\.tar\\.gz$" "" name "${name}")
  set(tmp "${archive}.top")
  file(REMOVE_RECURSE "${tmp}")
  file(MAKE_DIRECTORY "${tmp}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xzf "${archive}" WORKING_DIRECTORY "${tmp}"
                  RESULT_VARIABLE rc)
  file(GLOB top RELATIVE "${tmp}" "${tmp}/*")
  list(LENGTH top count)
  if(NOT rc EQUAL 0 OR NOT count EQUAL 1)
    message(FATAL_ERROR "${archive}: not one top directory (${top})")
  endif()
  if(NOT top STREQUAL name)
    file(RENAME "${tmp}/${top}" "${tmp}/${name}")
    file(REMOVE "${archive}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar czf "${archive}" --format=gnutar "${name}"
                    WORKING_DIRECTORY "${tmp}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${archive}: cannot pack it again")
    endif()
  endif()
  file(REMOVE_RECURSE "${tmp}")
endforeach()
