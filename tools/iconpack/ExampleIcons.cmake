# Packs examples/icons/NN-name.bmp, in file-name order, into
# ${CMAKE_BINARY_DIR}/examples/Icons.bin with the given packer command.
function(kg_pack_example_icons packer)
  file(GLOB icons CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/icons/*.bmp)
  list(SORT icons)
  set(out ${CMAKE_BINARY_DIR}/examples/Icons.bin)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/examples
    COMMAND ${packer} pack ${out} ${icons}
    DEPENDS ${packer} ${icons} ${ARGN}
    COMMENT "Packing the example icons into examples/Icons.bin"
    VERBATIM)
  add_custom_target(example_icons ALL DEPENDS ${out})
endfunction()

# The packer's command line as a publisher uses it: exit codes, messages, a round trip.
function(kg_add_iconpack_test name packer)
  file(GLOB icons CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/icons/*.bmp)
  list(SORT icons)
  string(REPLACE ";" "|" icons "${icons}")
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} "-DICONPACK=${packer}" "-DRUNNER=${ARGN}" "-DICONS=${icons}"
            -DSOURCE=${PROJECT_SOURCE_DIR} -DWORK=${CMAKE_BINARY_DIR}/${name}
            -DEXAMPLE=${CMAKE_BINARY_DIR}/examples/Icons.bin
            -P ${PROJECT_SOURCE_DIR}/tools/iconpack/CheckIconpack.cmake)
endfunction()
