# End to end: a packed projector on a private X server.
add_executable(orvane-e2e-movie ${CMAKE_CURRENT_LIST_DIR}/MakeE2eMovie.cpp)
target_link_libraries(orvane-e2e-movie PRIVATE orvane_swfwriter)
add_test(NAME orvane_projector_e2e
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/projector-e2e.sh
    $<TARGET_FILE:orvane> $<TARGET_FILE:orvane-tool> $<TARGET_FILE:orvane-e2e-movie>)
set_tests_properties(orvane_projector_e2e PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120)
