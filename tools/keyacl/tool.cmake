# keyacl.exe: a key's access list made read-only or writable again, for the
# end-to-end script that runs the browser as a standard user.
add_executable(keyacl ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(keyacl PRIVATE advapi32)
target_compile_options(keyacl PRIVATE ${KG_WARNINGS})
target_include_directories(keyacl PRIVATE ${PROJECT_SOURCE_DIR})

# End to end as a standard user, one per bitness: the toolbar key read-only
# and the install folder a read-only mount; a new day, a search, close and
# reopen, with no error box at any point. The 32-bit build's run uses its own
# keyacl.exe, which sees the 32-bit registry view as that DLL does; where
# 32-bit programs cannot run, the script skips (77).
if(TARGET kestrelgrove)
  add_test(NAME bandhost_e2e_standard_user_${KG_BITS}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/standard_user.sh ${CMAKE_BINARY_DIR} ${KG_BITS})
  set_tests_properties(bandhost_e2e_standard_user_${KG_BITS} PROPERTIES
                       RESOURCE_LOCK "toolbar_key;display" SKIP_RETURN_CODE 77 TIMEOUT 400)
endif()
