# gtest_discover_tests hands its PROPERTIES over as one flat list, so
# LABELS "live;stress" reaches the discovered cases as LABELS live stress and
# they keep only "live". quarn_label_discovered_tests(<target> <label>...) gives
# every discovered case of <target> the whole list instead: ctest reads the
# labels from a file it includes after the discovery's own (call it after
# gtest_discover_tests, in the same folder).
function(quarn_label_discovered_tests target)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_labels.cmake)
  file(WRITE ${script}
    "if(${target}_TESTS)\n"
    "  set_tests_properties(\${${target}_TESTS} PROPERTIES LABELS \"${ARGN}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
