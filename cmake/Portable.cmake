# Programs that start on the servers where the controllers are: any x86
# Linux with glibc 2.17 or later, with nothing else from the host.
#
# Every target of a width is compiled against Debian 11's C library headers
# and GCC 10's C++ headers (a sysroot that scripts/roots.sh fetches once),
# and linked against that C library, with GCC 10's C++ runtime and libgcc
# linked in statically. The result needs only libc.so.6, libdl.so.2 and the
# loader, with no symbol version newer than GLIBC_2.17. Our own g++ 12
# compiles; its own static runtime would not do, as it calls glibc 2.32,
# 2.35 and 2.36 entry points. tests/portable proves the result.
#
# LOGDUMP_PORTABLE=OFF builds against this machine's libraries instead (the
# programs then run only on systems as new as this one); the sanitizer build
# always does, as the sanitizer runtimes are this compiler's.

option(LOGDUMP_PORTABLE "Build programs that run on glibc 2.17 and later (needs the Debian 11 sysroots)" ON)
set(LOGDUMP_SYSROOT64 "/var/cache/logdump/sysroot-amd64" CACHE PATH "Debian 11 amd64 sysroot (scripts/roots.sh sysroot-amd64)")
set(LOGDUMP_SYSROOT32 "/var/cache/logdump/sysroot-i386" CACHE PATH "Debian 11 i386 sysroot (scripts/roots.sh sysroot-i386)")

if(LOGDUMP_SANITIZE AND LOGDUMP_PORTABLE)
  message(STATUS "Sanitizer build: programs built against this machine's libraries (not portable)")
  set(LOGDUMP_PORTABLE OFF)
elseif(NOT LOGDUMP_PORTABLE)
  message(WARNING "LOGDUMP_PORTABLE is OFF: the programs need this machine's glibc and libstdc++, "
                  "and will not start on older servers")
endif()

if(LOGDUMP_PORTABLE)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    message(FATAL_ERROR "The portable build needs g++ (found ${CMAKE_CXX_COMPILER_ID}); "
                        "configure with -DLOGDUMP_PORTABLE=OFF for another compiler")
  endif()
  # The compiler's own headers (stddef.h, the vector intrinsics).
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=include
                  OUTPUT_VARIABLE LOGDUMP_GCC_INCLUDE OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(_widths 64)
  if(LOGDUMP_BUILD32)
    list(APPEND _widths 32)
  endif()
  foreach(bits IN LISTS _widths)
    set(_root "${LOGDUMP_SYSROOT${bits}}")
    if(bits EQUAL 64)
      set(_arch amd64)
    else()
      set(_arch i386)
    endif()
    if(NOT EXISTS "${_root}/.logdump-recipe")
      message(FATAL_ERROR "The Debian 11 ${_arch} sysroot is missing (${_root}). "
                          "Run scripts/setup.sh (or scripts/roots.sh sysroot-${_arch}) as root, "
                          "or set LOGDUMP_SYSROOT${bits}; -DLOGDUMP_PORTABLE=OFF builds programs "
                          "that run only on systems as new as this one.")
    endif()
  endforeach()
endif()

# Called by logdump_width for every target of a width. HOST: a target that
# keeps this machine's toolchain (logdump-report and its tests).
function(logdump_portable target bits)
  if(NOT LOGDUMP_PORTABLE OR "HOST" IN_LIST ARGN)
    return()
  endif()
  set(root "${LOGDUMP_SYSROOT${bits}}")
  if(bits EQUAL 64)
    set(triplet x86_64-linux-gnu)
    set(gcc_lib "${root}/usr/lib/gcc/x86_64-linux-gnu/10")
  else()
    set(triplet i386-linux-gnu)
    set(gcc_lib "${root}/usr/lib/gcc/i686-linux-gnu/10")
    # The 32-bit build reads files with 64-bit offsets, whose headers name
    # glibc 2.28's fcntl64; fcntl of glibc 2.0 already takes those records.
    target_compile_options(${target} PRIVATE "-include${CMAKE_SOURCE_DIR}/cmake/glibc_i386.h")
  endif()
  # In the order g++ searches its own directories.
  target_compile_options(${target} PRIVATE -nostdinc
    $<$<COMPILE_LANGUAGE:CXX>:-nostdinc++ -isystem${root}/usr/include/c++/10
                              -isystem${root}/usr/include/${triplet}/c++/10
                              -isystem${root}/usr/include/c++/10/backward>
    -isystem${LOGDUMP_GCC_INCLUDE} -isystem${root}/usr/include/${triplet} -isystem${root}/usr/include)
  get_target_property(type ${target} TYPE)
  if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
    # -B: the start files (crt1, crti, crtbegin...) of the sysroot and of
    # GCC 10; -L: its libraries before this machine's.
    target_link_options(${target} PRIVATE -B${root}/usr/lib/${triplet}/ -B${gcc_lib}/
                        -L${gcc_lib} -L${root}/usr/lib/${triplet} -L${root}/lib/${triplet}
                        -Wl,--sysroot=${root} -static-libstdc++ -static-libgcc)
    if(NOT type STREQUAL "EXECUTABLE")
      # A shared object keeps the C++ runtime it carries to itself (and
      # frees it when unloaded: LOGDUMP_OWN_CXX_RUNTIME).
      target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL)
      target_compile_definitions(${target} PRIVATE LOGDUMP_OWN_CXX_RUNTIME)
    endif()
  endif()
endfunction()
