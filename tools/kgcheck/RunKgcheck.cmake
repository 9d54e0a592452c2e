# Runs kgcheck --strict on a folder (relative to SOURCE) and compares what it
# prints, and its exit status, with the EXPECTED file; without one, nothing may
# be printed and the status must be 0. With ICONS, the folder is first copied
# to WORK with that icon file, as the installation puts it beside the others.
# cmake -DKGCHECK=exe [-DRUNNER=emulator] -DSOURCE=dir -DFOLDER=rel [-DEXPECTED=file] [-DICONS=bin -DWORK=dir] -P RunKgcheck.cmake
set(folder "${FOLDER}")
if(DEFINED ICONS)
  file(REMOVE_RECURSE "${WORK}")
  file(GLOB files LIST_DIRECTORIES false "${SOURCE}/${FOLDER}/*")
  file(COPY ${files} "${ICONS}" DESTINATION "${WORK}")
  set(folder "${WORK}")
endif()
execute_process(COMMAND ${RUNNER} ${KGCHECK} --strict "${folder}" WORKING_DIRECTORY "${SOURCE}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(actual "${out}${err}exit ${rc}\n")
string(REPLACE "\r" "" actual "${actual}")
if(DEFINED EXPECTED)
  file(READ "${EXPECTED}" expected)
else()
  set(expected "exit 0\n")
endif()
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "kgcheck --strict ${FOLDER}: printed\n${actual}\nexpected\n${expected}")
endif()
if(DEFINED ICONS)
  file(REMOVE_RECURSE "${WORK}")
endif()
