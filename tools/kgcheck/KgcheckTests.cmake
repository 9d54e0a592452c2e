# kgcheck as a publisher runs it: the example toolbar, as installed, passes
# --strict; every folder tests/publisher/broken-* gives the findings and exit
# status written in tests/publisher/broken-*.expected.
function(kg_add_kgcheck_tests checker)
  add_test(NAME kgcheck_example
    COMMAND ${CMAKE_COMMAND} "-DKGCHECK=${checker}" "-DRUNNER=${ARGN}" -DSOURCE=${PROJECT_SOURCE_DIR}
            -DFOLDER=examples -DICONS=${CMAKE_BINARY_DIR}/examples/Icons.bin
            -DWORK=${CMAKE_BINARY_DIR}/kgcheck_example
            -P ${PROJECT_SOURCE_DIR}/tools/kgcheck/RunKgcheck.cmake)
  file(GLOB folders LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/tests/publisher/broken-*)
  foreach(folder ${folders})
    if(IS_DIRECTORY ${folder})
      get_filename_component(name ${folder} NAME)
      add_test(NAME kgcheck_${name}
        COMMAND ${CMAKE_COMMAND} "-DKGCHECK=${checker}" "-DRUNNER=${ARGN}" -DSOURCE=${PROJECT_SOURCE_DIR}
                -DFOLDER=tests/publisher/${name} -DEXPECTED=${folder}.expected
                -P ${PROJECT_SOURCE_DIR}/tools/kgcheck/RunKgcheck.cmake)
    endif()
  endforeach()
endfunction()
