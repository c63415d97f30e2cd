# Hardening of everything we compile: the programs run as root on production
# servers and load a vendor library, so a memory fault must not become code
# execution. Position-independent executables (so that ASLR moves the
# program too), full RELRO with immediate binding (the GOT is read-only once
# the program starts), stack protector, _FORTIFY_SOURCE and a stack that
# cannot be executed. tests/hardening/check_elf.sh reads the result back.

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)

# _FORTIFY_SOURCE only works with optimisation (glibc warns without it, so
# not in Debug), and a packager's flags (dpkg-buildflags) may already set
# their own level: theirs stays.
set(LOGDUMP_FORTIFY "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>")
if(CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE" OR CMAKE_C_FLAGS MATCHES "_FORTIFY_SOURCE")
  set(LOGDUMP_FORTIFY "")
elseif(CMAKE_CXX_FLAGS MATCHES "(^| )-O[1-3sz]")
  # A packager's own optimisation (build type None) counts as well.
  set(LOGDUMP_FORTIFY "_FORTIFY_SOURCE=2")
endif()

function(logdump_harden target)
  target_compile_options(${target} PRIVATE -fstack-protector-strong)
  if(LOGDUMP_FORTIFY AND NOT LOGDUMP_SANITIZE)
    target_compile_definitions(${target} PRIVATE ${LOGDUMP_FORTIFY})
  endif()
  target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)
endfunction()
