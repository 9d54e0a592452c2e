# bandhost.exe: the stand-in browser that loads the band through COM (the demo,
# the end-to-end tests). It links the browser's side only, never the toolbar.
add_executable(bandhost ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(bandhost PRIVATE kg_standin kg_config)
target_compile_options(bandhost PRIVATE ${KG_WARNINGS})

# End to end under Wine and Xvfb, one per bitness: regsvr32, a test toolbar,
# bandhost, "Close Toolbar" chosen with real mouse input, the saved search
# state and the unloaded DLL; then a click on "Home", searches typed into the
# search box, the second engine chosen from the search button's menu and the
# About window opened from the band's context menu, with real mouse and
# keyboard input.
if(TARGET kestrelgrove)
  add_dependencies(bandhost kestrelgrove)
  add_test(NAME bandhost_e2e_${KG_BITS}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/close_toolbar.sh ${CMAKE_BINARY_DIR} ${KG_BITS})
  set_tests_properties(bandhost_e2e_${KG_BITS} PROPERTIES RESOURCE_LOCK "toolbar_key;display" SKIP_RETURN_CODE 77 TIMEOUT 300)
  add_test(NAME bandhost_e2e_clicks_${KG_BITS}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/clicks_and_search.sh ${CMAKE_BINARY_DIR} ${KG_BITS})
  set_tests_properties(bandhost_e2e_clicks_${KG_BITS} PROPERTIES RESOURCE_LOCK "toolbar_key;display" SKIP_RETURN_CODE 77 TIMEOUT 400)
endif()

# The lifetime test and the load benchmark load the DLL and the example's icon
# file; those targets may be defined after this fragment.
function(kg_bandhost_late_dependencies)
  foreach(consumer kg_tools_tests kg_bench_band_load)
    if(TARGET ${consumer})
      foreach(dep kestrelgrove example_icons)
        if(TARGET ${dep})
          add_dependencies(${consumer} ${dep})
        endif()
      endforeach()
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL kg_bandhost_late_dependencies)
