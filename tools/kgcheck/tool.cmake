# kgcheck.exe: the publisher's configuration checker (core only).
add_executable(kgcheck ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(kgcheck PRIVATE kg_check kg_sign)
target_compile_options(kgcheck PRIVATE ${KG_WARNINGS})

include(${CMAKE_CURRENT_LIST_DIR}/KgcheckTests.cmake)
kg_add_kgcheck_tests($<TARGET_FILE:kgcheck> ${CMAKE_CROSSCOMPILING_EMULATOR})
