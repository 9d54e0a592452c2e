# kgsign as a publisher runs it: keygen, sign an update folder, verify it; then
# a changed byte, a missing signature and the wrong key are caught, by kgsign
# and by kgcheck --update-folder.
function(kg_add_kgsign_test signer checker)
  add_test(NAME kgsign_round_trip
    COMMAND ${CMAKE_COMMAND} "-DKGSIGN=${signer}" "-DKGCHECK=${checker}" "-DRUNNER=${ARGN}" -DSOURCE=${PROJECT_SOURCE_DIR}
            -DWORK=${CMAKE_BINARY_DIR}/kgsign_round_trip
            -P ${PROJECT_SOURCE_DIR}/tools/kgsign/RunKgsign.cmake)
endfunction()
