# bandhost.exe: the stand-in browser that hosts the toolbar window (the demo).
add_executable(bandhost ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(bandhost PRIVATE kg_standin kg_host kg_win)
target_compile_options(bandhost PRIVATE ${KG_WARNINGS})
