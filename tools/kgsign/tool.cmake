# kgsign.exe: the publisher's signing tool, over the platform's CNG.
set(KG_SIGN_SOURCES ${CMAKE_CURRENT_LIST_DIR}/lib/UpdateFolder.cpp ${CMAKE_CURRENT_LIST_DIR}/lib/CryptoCng.cpp)
add_library(kg_sign STATIC ${KG_SIGN_SOURCES})
target_link_libraries(kg_sign PUBLIC kg_config)
target_compile_options(kg_sign PRIVATE ${KG_WARNINGS})
add_executable(kgsign ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(kgsign PRIVATE kg_sign)
target_compile_options(kgsign PRIVATE ${KG_WARNINGS})

include(${CMAKE_CURRENT_LIST_DIR}/KgsignTests.cmake)
kg_add_kgsign_test($<TARGET_FILE:kgsign> $<TARGET_FILE:kgcheck> ${CMAKE_CROSSCOMPILING_EMULATOR})

# The tests sign with the same code, built over the same (checked) libraries as themselves.
foreach(tests kg_config_tests kg_tools_tests)
  if(TARGET ${tests})
    target_sources(${tests} PRIVATE ${KG_SIGN_SOURCES})
  endif()
endforeach()
