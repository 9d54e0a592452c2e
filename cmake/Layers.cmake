# The layers, lowest first: a folder may include its own headers and those of
# the folders before it, never one after it.
set(KG_LAYERS core kit config toolbar host)

# Adds to `target` a build step that checks every file of the folder `layer`:
# each "folder/..." include names `layer` or a layer below it, and in core no
# file but a *Win.cpp includes a Windows header.
function(kg_check_layer target layer)
  list(FIND KG_LAYERS ${layer} index)
  if(index LESS 0)
    message(FATAL_ERROR "${layer} is not a layer")
  endif()
  list(SUBLIST KG_LAYERS 0 ${index} allowed)
  list(APPEND allowed ${layer})
  string(REPLACE ";" "," allowed "${allowed}")
  file(GLOB files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${layer}/*.cpp ${PROJECT_SOURCE_DIR}/${layer}/*.h)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/layers/${layer}.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -DLAYER=${layer} -DALLOWED=${allowed} -DSTAMP=${stamp}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayer.cmake
    DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/CheckLayer.cmake
    COMMENT "Checking the includes of ${layer}/"
    VERBATIM)
  if(NOT TARGET kg_layer_${layer})
    add_custom_target(kg_layer_${layer} DEPENDS ${stamp})
  endif()
  add_dependencies(${target} kg_layer_${layer})
endfunction()

add_test(NAME layer_check
         COMMAND ${CMAKE_COMMAND} -DCHECK=${PROJECT_SOURCE_DIR}/cmake/CheckLayer.cmake
                 -DWORK=${CMAKE_CURRENT_BINARY_DIR}/layer-check -P ${PROJECT_SOURCE_DIR}/tests/tools/CheckLayerTest.cmake)
