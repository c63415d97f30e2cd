# The collector's modules: one static library each, per width, named
# <module>_<bits>. A module's sources see its own headers and those of the
# modules below it, never one above or beside it, so an upward include does
# not compile:
#
#   store_header < common < LibStoreSata < KstErr01 < drivelog
#                < SasLog01, SatLog01 < Kestra02
#
# Every compiled target gets the width's flags through logdump_width(target
# bits), which the including project defines (the fuzz project has its own).

get_filename_component(LOGDUMP_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# The modules from the bottom up, and the directory of each.
set(LOGDUMP_MODULES common LibStoreSata KstErr01 drivelog SasLog01 SatLog01 Kestra02)
set(LOGDUMP_MODULE_DIR_LibStoreSata ${LOGDUMP_ROOT}/LibStoreSata)
foreach(module common KstErr01 drivelog SasLog01 SatLog01 Kestra02)
  set(LOGDUMP_MODULE_DIR_${module} ${LOGDUMP_ROOT}/src/${module})
endforeach()

# One module: its sources, its headers (PUBLIC: seen by the modules above),
# and the modules below that its headers use (PUBLIC) or only its sources
# (PRIVATE).
function(logdump_module module bits)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "PUBLIC;PRIVATE;EXCLUDE")
  set(dir ${LOGDUMP_MODULE_DIR_${module}})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(name IN LISTS arg_EXCLUDE)
    list(REMOVE_ITEM sources ${dir}/${name})
  endforeach()
  set(target ${module}_${bits})
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${dir})
  list(TRANSFORM arg_PUBLIC APPEND _${bits})
  list(TRANSFORM arg_PRIVATE APPEND _${bits})
  target_link_libraries(${target} PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
  logdump_width(${target} ${bits})
endfunction()

# All modules of one width. libname and cliname are the build's default
# vendor file names.
function(logdump_modules bits libname cliname)
  # raidstor's records: headers only, the same for both widths.
  if(NOT TARGET store_header)
    add_library(store_header INTERFACE)
    target_include_directories(store_header INTERFACE ${LOGDUMP_ROOT}/store_header)
  endif()
  add_library(store_header_${bits} ALIAS store_header)

  logdump_module(common ${bits} PUBLIC store_header)
  logdump_module(LibStoreSata ${bits} PUBLIC store_header PRIVATE common)
  logdump_module(KstErr01 ${bits} PUBLIC common LibStoreSata)
  logdump_module(drivelog ${bits} PRIVATE common KstErr01)
  logdump_module(SasLog01 ${bits} PUBLIC common PRIVATE KstErr01 drivelog)
  logdump_module(SatLog01 ${bits} PUBLIC common PRIVATE KstErr01 LibStoreSata drivelog)
  # main.cpp and the time limits belong to each program (logdump_program).
  logdump_module(Kestra02 ${bits} PUBLIC common LibStoreSata KstErr01 drivelog SasLog01 SatLog01
                 EXCLUDE main.cpp time_limits.cpp)
  target_compile_definitions(Kestra02_${bits} PRIVATE LOGDUMP_DEFAULT_LIB="${libname}"
                                                      LOGDUMP_DEFAULT_CLI="${cliname}")
  target_link_libraries(Kestra02_${bits} PUBLIC ${CMAKE_DL_LIBS})
endfunction()
