# The Windows build: the core plus everything over Win32, cross-built, tests run under Wine.
# The 32-bit build makes only what a 32-bit browser process needs (the DLL), its
# stand-in browser and the band's tests; the 64-bit build makes everything.
set(KG_WARNINGS -Wall -Wextra)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0700)
# One DLL (and one test program) that imports system DLLs only.
add_link_options(-static -static-libgcc -static-libstdc++)
# KG_BITS names the bitness in the end-to-end tests' names and arguments.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KG_WIN32_SLIM ON)
  set(KG_BITS 32)
else()
  set(KG_WIN32_SLIM OFF)
  set(KG_BITS 64)
endif()

# One library per layer folder (kit, config, toolbar, host), each linking only
# the one below it, over the portable core.
foreach(layer kit config toolbar host)
  file(GLOB KG_${layer}_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${layer}/*.cpp)
endforeach()
# HlinkNavigateString comes from urlmon, as both bitnesses ship it.
# bcrypt verifies signed updates (CNG; a system DLL since Vista).
set(KG_SYSTEM_LIBS comctl32 comdlg32 shell32 ole32 oleaut32 uuid advapi32 gdi32 user32 wininet urlmon shlwapi bcrypt)
# The band host's entry points live in host/DllMain.cpp, in the DLL alone; its
# exports come from host/kestrelgrove.def, undecorated.
list(REMOVE_ITEM KG_host_SOURCES ${PROJECT_SOURCE_DIR}/host/DllMain.cpp)
# The stand-in browser object (tools/bandhost/lib): used by bandhost, the demo and the tests.
file(GLOB KG_STANDIN_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/bandhost/lib/*.cpp)

# The libraries of the Windows code, named with `suffix`; `ARGN` are compile
# options that reach every target linking them.
function(kg_windows_libraries suffix)
  add_library(kg_core${suffix} STATIC ${KG_CORE_SOURCES})
  target_compile_options(kg_core${suffix} PRIVATE ${KG_WARNINGS} PUBLIC ${ARGN})
  target_link_libraries(kg_core${suffix} PUBLIC advapi32) # RtlGenRandom
  kg_check_layer(kg_core${suffix} core)
  set(below kg_core${suffix})
  foreach(layer kit config toolbar host)
    if(KG_${layer}_SOURCES)
      add_library(kg_${layer}${suffix} STATIC ${KG_${layer}_SOURCES})
      target_link_libraries(kg_${layer}${suffix} PUBLIC ${below})
      target_compile_options(kg_${layer}${suffix} PRIVATE ${KG_WARNINGS})
      kg_check_layer(kg_${layer}${suffix} ${layer})
      set(below kg_${layer}${suffix})
    endif()
  endforeach()
  target_link_libraries(kg_kit${suffix} PUBLIC ${KG_SYSTEM_LIBS})
  if(KG_STANDIN_SOURCES)
    # The browser's side: the kit alone, never the toolbar.
    add_library(kg_standin${suffix} STATIC ${KG_STANDIN_SOURCES})
    target_link_libraries(kg_standin${suffix} PUBLIC kg_kit${suffix})
    target_compile_options(kg_standin${suffix} PRIVATE ${KG_WARNINGS})
  endif()
endfunction()

# What ships (the DLL), the tools and the benchmarks use the plain libraries.
kg_windows_libraries("")
# The test programs of the 64-bit build run the same code, and themselves, with
# bounds-checked standard containers and a trap on undefined behaviour (no
# run-time library needed): a fault there shows as an illegal instruction.
option(KG_CHECKED_TESTS "Build the 64-bit Windows tests with container assertions and UBSan traps" ON)
if(KG_CHECKED_TESTS AND NOT KG_WIN32_SLIM)
  set(KG_TEST_LIBS _checked)
  kg_windows_libraries(_checked -D_GLIBCXX_ASSERTIONS -fsanitize=undefined -fsanitize-undefined-trap-on-error)
else()
  set(KG_TEST_LIBS "")
endif()

if(EXISTS ${PROJECT_SOURCE_DIR}/host/DllMain.cpp)
  add_library(kestrelgrove SHARED ${PROJECT_SOURCE_DIR}/host/DllMain.cpp ${PROJECT_SOURCE_DIR}/host/kestrelgrove.def)
  set_target_properties(kestrelgrove PROPERTIES PREFIX "" OUTPUT_NAME kestrelgrove)
  target_link_libraries(kestrelgrove PRIVATE kg_host)
  target_compile_options(kestrelgrove PRIVATE ${KG_WARNINGS})
  # 32-bit exports: the .def names bind to the stdcall symbols and go out free of @N decorations.
  target_link_options(kestrelgrove PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
  find_program(KG_OBJDUMP NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-objdump objdump REQUIRED)
  add_test(NAME dll_imports_and_exports
           COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:kestrelgrove> -DOBJDUMP=${KG_OBJDUMP}
                   -P ${PROJECT_SOURCE_DIR}/tests/host/CheckDll.cmake)
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
# The demo's packages leave googletest out: the test programs are then not defined.
set(KG_GTEST_DIR /usr/src/googletest CACHE PATH "googletest's sources")
if(EXISTS ${KG_GTEST_DIR}/CMakeLists.txt)
  add_subdirectory(${KG_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(KG_HAVE_GTEST ON)
else()
  set(KG_HAVE_GTEST OFF)
  message(STATUS "googletest not found in ${KG_GTEST_DIR}: no test programs (scripts/deps.sh check installs it)")
endif()

if(KG_HAVE_GTEST AND NOT KG_WIN32_SLIM)
  add_executable(kg_core_tests ${KG_CORE_TESTS})
  target_link_libraries(kg_core_tests PRIVATE kg_core${KG_TEST_LIBS} GTest::gtest_main)
  add_test(NAME core_tests COMMAND kg_core_tests)
endif()

# One test program per subsystem folder; each runs its cases one after another,
# so tests that share the toolbar key or the display never overlap.
if(KG_HAVE_GTEST)
  add_library(kg_win_test_main STATIC ${PROJECT_SOURCE_DIR}/tests/support/WinTestMain.cpp)
  target_link_libraries(kg_win_test_main PUBLIC kg_toolbar${KG_TEST_LIBS} GTest::gtest)
  foreach(lib kg_standin kg_host)
    if(TARGET ${lib}${KG_TEST_LIBS})
      target_link_libraries(kg_win_test_main PUBLIC ${lib}${KG_TEST_LIBS})
    endif()
  endforeach()
endif()
file(GLOB KG_TEST_SUPPORT CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/*.cpp)
list(REMOVE_ITEM KG_TEST_SUPPORT ${PROJECT_SOURCE_DIR}/tests/support/WinTestMain.cpp)
if(NOT KG_HAVE_GTEST)
  set(KG_TEST_FOLDERS "")
elseif(KG_WIN32_SLIM)
  set(KG_TEST_FOLDERS host)
else()
  set(KG_TEST_FOLDERS config kit toolbar host tools)
endif()
foreach(sub ${KG_TEST_FOLDERS})
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${sub}/*Test.cpp)
  list(REMOVE_ITEM srcs ${KG_CORE_TESTS})
  if(srcs)
    add_executable(kg_${sub}_tests ${srcs} ${KG_TEST_SUPPORT})
    target_link_libraries(kg_${sub}_tests PRIVATE kg_win_test_main)
    target_compile_definitions(kg_${sub}_tests PRIVATE KG_SOURCE_DIR="${PROJECT_SOURCE_DIR}" KG_BUILD_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${sub}_tests COMMAND kg_${sub}_tests)
    # The programs that touch the toolbar key or install folders share that
    # state, also across the two bitnesses (one prefix): the check script runs
    # the 32-bit tests after the 64-bit ones.
    if(sub MATCHES "^(config|toolbar|host|tools)$")
      set_tests_properties(${sub}_tests PROPERTIES RESOURCE_LOCK toolbar_key)
    endif()
    # The end-to-end tests drive the shared display with real input: windows
    # that other tests open meanwhile would take their clicks and keys.
    if(sub STREQUAL "kit")
      set_tests_properties(${sub}_tests PROPERTIES RESOURCE_LOCK display)
    endif()
    if(TARGET kestrelgrove)
      add_dependencies(kg_${sub}_tests kestrelgrove)
    endif()
    # cmake/wine-run.sh answers 77 where the machine cannot run 32-bit programs.
    set_tests_properties(${sub}_tests PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endforeach()

# The HTTPS download test trusts a certificate of its own in the prefix's root store.
if(TARGET kg_config_tests)
  target_link_libraries(kg_config_tests PRIVATE crypt32)
endif()

# Windows benchmarks (bench/win/*.cpp): one program each, run by `make bench`
# under Wine; they print their own figures.
# The 32-bit build makes only the hostile inputs' one, whose memory aim holds for both bitnesses.
file(GLOB KG_WIN_BENCHES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/win/*.cpp)
if(KG_WIN32_SLIM)
  set(KG_WIN_BENCHES ${PROJECT_SOURCE_DIR}/bench/win/bench_hostile.cpp)
endif()
if(KG_WIN_BENCHES)
  foreach(src ${KG_WIN_BENCHES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(kg_${name} ${src})
    target_link_libraries(kg_${name} PRIVATE kg_toolbar)
    foreach(lib kg_standin kg_host)
      if(TARGET ${lib})
        target_link_libraries(kg_${name} PRIVATE ${lib})
      endif()
    endforeach()
    target_compile_definitions(kg_${name} PRIVATE KG_SOURCE_DIR="${PROJECT_SOURCE_DIR}" KG_BUILD_DIR="${CMAKE_BINARY_DIR}")
    target_compile_options(kg_${name} PRIVATE ${KG_WARNINGS} -O2)
  endforeach()
  # The band's load time, and the hostile update folder, served on 127.0.0.1.
  foreach(name kg_bench_band_load kg_bench_hostile)
    if(TARGET ${name})
      target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/HttpTestServer.cpp)
    endif()
  endforeach()
endif()

# Programs under tools/: each folder with a CMake fragment adds its own targets.
# The 32-bit build needs only the stand-in browser, and the key tool of the
# standard user's end-to-end run.
if(KG_WIN32_SLIM)
  set(KG_TOOL_FRAGMENTS ${PROJECT_SOURCE_DIR}/tools/bandhost/tool.cmake ${PROJECT_SOURCE_DIR}/tools/keyacl/tool.cmake)
else()
  file(GLOB KG_TOOL_FRAGMENTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/*/tool.cmake)
endif()
foreach(f ${KG_TOOL_FRAGMENTS})
  include(${f})
endforeach()

# The installer (installer/): its test belongs to the 64-bit build, which
# setup.exe runs in.
if(NOT KG_WIN32_SLIM)
  include(${PROJECT_SOURCE_DIR}/installer/installer.cmake)
endif()
