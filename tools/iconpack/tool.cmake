# iconpack.exe: the publisher's icon packer and lister (core only).
add_executable(iconpack ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(iconpack PRIVATE kg_core)
target_compile_options(iconpack PRIVATE ${KG_WARNINGS})

# The example's icon file is made at build time, when no Wine prefix exists:
# with a copy of the packer built for this machine.
include(${CMAKE_CURRENT_LIST_DIR}/ExampleIcons.cmake)
find_program(KG_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(KG_HOST_ICONPACK ${CMAKE_BINARY_DIR}/host-iconpack)
set(KG_HOST_ICONPACK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp ${PROJECT_SOURCE_DIR}/core/IconFile.cpp ${PROJECT_SOURCE_DIR}/core/Bmp.cpp
  ${PROJECT_SOURCE_DIR}/core/FileRead.cpp)
add_custom_command(OUTPUT ${KG_HOST_ICONPACK}
  COMMAND ${KG_HOST_CXX} -std=c++20 -O1 -I${PROJECT_SOURCE_DIR} ${KG_HOST_ICONPACK_SOURCES} -o ${KG_HOST_ICONPACK}
  DEPENDS ${KG_HOST_ICONPACK_SOURCES}
          ${PROJECT_SOURCE_DIR}/core/IconFile.h ${PROJECT_SOURCE_DIR}/core/Bmp.h ${PROJECT_SOURCE_DIR}/core/Error.h
  COMMENT "Building iconpack for the build machine"
  VERBATIM)
kg_pack_example_icons(${KG_HOST_ICONPACK})
# The toolbar tests read the example's icon file.
if(TARGET kg_toolbar_tests)
  add_dependencies(kg_toolbar_tests example_icons)
endif()
kg_add_iconpack_test(iconpack_cli $<TARGET_FILE:iconpack> ${CMAKE_CROSSCOMPILING_EMULATOR})
