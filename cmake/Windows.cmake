# The Windows build: the core plus everything over Win32, cross-built, tests run under Wine.
set(KG_WARNINGS -Wall -Wextra)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0700)
# One DLL (and one test program) that imports system DLLs only.
add_link_options(-static -static-libgcc -static-libstdc++)

add_library(kg_core STATIC ${KG_CORE_SOURCES})
target_compile_options(kg_core PRIVATE ${KG_WARNINGS})

# Everything else in the subsystem folders is Windows code.
file(GLOB KG_WIN_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/config/*.cpp
  ${PROJECT_SOURCE_DIR}/kit/*.cpp
  ${PROJECT_SOURCE_DIR}/toolbar/*.cpp)
list(REMOVE_ITEM KG_WIN_SOURCES ${KG_CORE_SOURCES})
set(KG_SYSTEM_LIBS comctl32 comdlg32 shell32 ole32 oleaut32 uuid advapi32 gdi32 user32 wininet urlmon hlink shlwapi)
add_library(kg_win STATIC ${KG_WIN_SOURCES})
target_link_libraries(kg_win PUBLIC kg_core ${KG_SYSTEM_LIBS})
target_compile_options(kg_win PRIVATE ${KG_WARNINGS})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(kg_core_tests ${KG_CORE_TESTS})
target_link_libraries(kg_core_tests PRIVATE kg_core GTest::gtest_main)
add_test(NAME core_tests COMMAND kg_core_tests)

# The stand-in browser object (tools/bandhost/lib): used by bandhost, the demo and the tests.
file(GLOB KG_STANDIN_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/bandhost/lib/*.cpp)
if(KG_STANDIN_SOURCES)
  add_library(kg_standin STATIC ${KG_STANDIN_SOURCES})
  target_link_libraries(kg_standin PUBLIC kg_win)
  target_compile_options(kg_standin PRIVATE ${KG_WARNINGS})
endif()

# One test program per subsystem folder; each runs its cases one after another,
# so tests that share the toolbar key or the display never overlap.
add_library(kg_win_test_main STATIC ${PROJECT_SOURCE_DIR}/tests/support/WinTestMain.cpp)
target_link_libraries(kg_win_test_main PUBLIC kg_win GTest::gtest)
if(TARGET kg_standin)
  target_link_libraries(kg_win_test_main PUBLIC kg_standin)
endif()
file(GLOB KG_TEST_SUPPORT CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/*.cpp)
list(REMOVE_ITEM KG_TEST_SUPPORT ${PROJECT_SOURCE_DIR}/tests/support/WinTestMain.cpp)
foreach(sub config kit toolbar host tools)
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${sub}/*Test.cpp)
  list(REMOVE_ITEM srcs ${KG_CORE_TESTS})
  if(srcs)
    add_executable(kg_${sub}_tests ${srcs} ${KG_TEST_SUPPORT})
    target_link_libraries(kg_${sub}_tests PRIVATE kg_win_test_main)
    target_compile_definitions(kg_${sub}_tests PRIVATE KG_SOURCE_DIR="${PROJECT_SOURCE_DIR}" KG_BUILD_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${sub}_tests COMMAND kg_${sub}_tests)
    # The programs that touch the toolbar key or install folders share that state.
    if(sub MATCHES "^(config|toolbar|host|tools)$")
      set_tests_properties(${sub}_tests PROPERTIES RESOURCE_LOCK toolbar_key)
    endif()
  endif()
endforeach()

# Programs under tools/: each folder with a CMake fragment adds its own targets.
file(GLOB KG_TOOL_FRAGMENTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/*/tool.cmake)
foreach(f ${KG_TOOL_FRAGMENTS})
  include(${f})
endforeach()
