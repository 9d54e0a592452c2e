# kgsign, built natively over Debian's OpenSSL (libssl-dev).
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
add_library(kg_sign STATIC ${PROJECT_SOURCE_DIR}/tools/kgsign/lib/UpdateFolder.cpp
                           ${PROJECT_SOURCE_DIR}/tools/kgsign/lib/CryptoOpenSsl.cpp)
target_link_libraries(kg_sign PUBLIC kg_core OpenSSL::Crypto)
target_compile_options(kg_sign PRIVATE ${KG_WARNINGS})
add_executable(kgsign ${PROJECT_SOURCE_DIR}/tools/kgsign/main.cpp)
target_link_libraries(kgsign PRIVATE kg_sign)
target_compile_options(kgsign PRIVATE ${KG_WARNINGS})

include(${PROJECT_SOURCE_DIR}/tools/kgsign/KgsignTests.cmake)
kg_add_kgsign_test($<TARGET_FILE:kgsign> $<TARGET_FILE:kgcheck>)

# The signing code's own tests (tests/tools/SigningTest.cpp runs under Wine over CNG as well).
add_executable(kg_sign_tests ${PROJECT_SOURCE_DIR}/tests/tools/SigningTest.cpp)
target_link_libraries(kg_sign_tests PRIVATE kg_sign GTest::gtest_main)
target_compile_options(kg_sign_tests PRIVATE ${KG_WARNINGS})
add_test(NAME sign_tests COMMAND kg_sign_tests)
