# flashstandin.dll: a stand-in for the Flash player control, for the tests and
# the demo only (never part of the toolbar's DLL or its installation). It is
# registered only in the test prefix and in the demo's, by
# scripts/flash-standin.sh, which also puts a placeholder player file where
# the toolbar looks for one.
add_library(flashstandin SHARED
  ${CMAKE_CURRENT_LIST_DIR}/Module.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StandInPlayer.cpp
  ${PROJECT_SOURCE_DIR}/kit/OleVariant.cpp
  ${CMAKE_CURRENT_LIST_DIR}/flashstandin.def)
set_target_properties(flashstandin PROPERTIES PREFIX "" OUTPUT_NAME flashstandin)
target_link_libraries(flashstandin PRIVATE ole32 oleaut32 uuid wininet user32 gdi32 advapi32)
target_compile_options(flashstandin PRIVATE ${KG_WARNINGS})

# Registered before the tests that build toolbars with a banner player run;
# those hold the toolbar key's lock, and so does this step.
add_test(NAME flash_standin_install
         COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/flash-standin.sh install
                 ${CMAKE_BINARY_DIR}/wineprefix $<TARGET_FILE:flashstandin>)
set_tests_properties(flash_standin_install PROPERTIES FIXTURES_SETUP flash_standin RESOURCE_LOCK toolbar_key)
# End to end through the DLL in bandhost, with the movie served over HTTP.
if(TARGET kestrelgrove AND TARGET bandhost)
  add_test(NAME bandhost_e2e_flash_64
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/flash_banner.sh ${CMAKE_BINARY_DIR} 64)
  set_tests_properties(bandhost_e2e_flash_64 PROPERTIES RESOURCE_LOCK "toolbar_key;display" SKIP_RETURN_CODE 77
                       TIMEOUT 300)
  add_dependencies(flashstandin kestrelgrove bandhost)
endif()
foreach(consumer toolbar_tests bandhost_e2e_flash_64)
  if(TEST ${consumer})
    set_tests_properties(${consumer} PROPERTIES FIXTURES_REQUIRED flash_standin)
  endif()
endforeach()
if(TARGET kg_toolbar_tests)
  add_dependencies(kg_toolbar_tests flashstandin)
endif()
