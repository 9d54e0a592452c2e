# kgcheck.exe: the publisher's configuration checker. The folder check uses the
# core only; the view of the installed toolbar (Installed.cpp) links config/
# for the engine's own toolbar key reader and its rule for the configuration
# in use, so that kgcheck checks exactly the files the browser loads.
add_executable(kgcheck ${CMAKE_CURRENT_LIST_DIR}/main.cpp ${CMAKE_CURRENT_LIST_DIR}/Installed.cpp)
target_link_libraries(kgcheck PRIVATE kg_check kg_sign kg_config)
target_compile_options(kgcheck PRIVATE ${KG_WARNINGS})

include(${CMAKE_CURRENT_LIST_DIR}/KgcheckTests.cmake)
kg_add_kgcheck_tests($<TARGET_FILE:kgcheck> ${CMAKE_CROSSCOMPILING_EMULATOR})

# The installed view's table test (tests/tools) builds it over the tests' libraries.
if(TARGET kg_tools_tests)
  target_sources(kg_tools_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Installed.cpp)
  target_link_libraries(kg_tools_tests PRIVATE kg_check${KG_TEST_LIBS})
endif()
