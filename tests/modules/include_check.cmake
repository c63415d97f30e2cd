# Compiles one-line probes (#include "<header>") with a module's include
# path. Each header of the module (OWN) must compile; each header of the
# directories in UNSEEN must fail with "<header>: No such file or directory".
# INCLUDES and UNSEEN are lists joined with '|'.
cmake_minimum_required(VERSION 3.20)
string(REPLACE "|" ";" includes "${INCLUDES}")
string(REPLACE "|" ";" unseen "${UNSEEN}")
set(flags -std=c++20 -fsyntax-only)
foreach(dir IN LISTS includes)
  list(APPEND flags -I${dir})
endforeach()
# The probe's own directory holds nothing else to find.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# Probes every header of dir; expect is "seen" or "unseen".
function(check_headers dir expect)
  file(GLOB headers ${dir}/*.h)
  if(NOT headers)
    message(SEND_ERROR "no headers in ${dir}")
  endif()
  foreach(path IN LISTS headers)
    get_filename_component(name ${path} NAME)
    file(WRITE ${WORK}/probe.cpp "#include \"${name}\"\n")
    execute_process(COMMAND ${CXX} ${flags} ${WORK}/probe.cpp RESULT_VARIABLE rc OUTPUT_VARIABLE out
                    ERROR_VARIABLE out)
    string(REPLACE "." "\\." missing "${name}: No such file or directory")
    if(expect STREQUAL "seen" AND NOT rc EQUAL 0)
      message(SEND_ERROR "${name} does not compile alone with its module's include path:\n${out}")
    elseif(expect STREQUAL "unseen" AND rc EQUAL 0)
      message(SEND_ERROR "${name} of ${dir} is visible")
    elseif(expect STREQUAL "unseen" AND NOT out MATCHES "${missing}")
      message(SEND_ERROR "${name} of ${dir} failed for another reason than not being found:\n${out}")
    endif()
  endforeach()
endfunction()

check_headers(${OWN} seen)
foreach(dir IN LISTS unseen)
  check_headers(${dir} unseen)
endforeach()
