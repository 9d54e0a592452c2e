# iconpack, built natively: the publisher's icon packer and lister, and the
# example toolbar's icon file made with it.
add_executable(iconpack ${PROJECT_SOURCE_DIR}/tools/iconpack/main.cpp)
target_link_libraries(iconpack PRIVATE kg_core)
target_compile_options(iconpack PRIVATE ${KG_WARNINGS})

include(${PROJECT_SOURCE_DIR}/tools/iconpack/ExampleIcons.cmake)
kg_pack_example_icons(iconpack)
kg_add_iconpack_test(iconpack_cli $<TARGET_FILE:iconpack>)
