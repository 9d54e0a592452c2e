# showsettings.exe: prints the toolbar settings as the engine loads them, each
# with where it came from, and the paths derived from them.
add_executable(showsettings ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(showsettings PRIVATE kg_config)
target_compile_options(showsettings PRIVATE ${KG_WARNINGS})
