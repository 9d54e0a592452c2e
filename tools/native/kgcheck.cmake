# kgcheck, built natively: the publisher's configuration checker, run on the
# example toolbar and on the broken folders of tests/publisher.
add_executable(kgcheck ${PROJECT_SOURCE_DIR}/tools/kgcheck/main.cpp)
target_link_libraries(kgcheck PRIVATE kg_check kg_sign)
target_compile_options(kgcheck PRIVATE ${KG_WARNINGS})

include(${PROJECT_SOURCE_DIR}/tools/kgcheck/KgcheckTests.cmake)
kg_add_kgcheck_tests($<TARGET_FILE:kgcheck>)
