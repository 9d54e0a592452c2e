# The installer's tests under Wine: setup.exe of the example toolbar built
# from this build's DLL and the 32-bit build's beside it, installed, loaded by
# bandhost, uninstalled, installed over an existing installation; and the
# same with a 32-bit DLL that cannot be registered. They hold the toolbar key
# and the display like the end-to-end tests.
if(TARGET kestrelgrove AND TARGET bandhost AND TARGET example_icons)
  add_test(NAME installer_roundtrip
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/installer/setup_roundtrip.sh ${CMAKE_BINARY_DIR})
  add_test(NAME installer_32bit_unregistered
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/installer/setup_32bit_unregistered.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(installer_roundtrip installer_32bit_unregistered PROPERTIES
                       RESOURCE_LOCK "toolbar_key;display" TIMEOUT 300)
  # The publisher's side: bad toolbar folders refused with a message.
  add_test(NAME installer_build_inputs
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/installer/build_setup_inputs.sh ${CMAKE_BINARY_DIR})
endif()
