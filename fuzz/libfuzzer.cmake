# libFuzzer builds of the fuzz targets (clang only). With ORVANE_LIBFUZZER every compiled
# target gets coverage instrumentation (-fsanitize=fuzzer-no-link) and the fuzz_*
# executables link libFuzzer's driver instead of their own replay main. Configure with
#   CC=clang CXX=clang++ cmake ... -DORVANE_SANITIZE=ON -DORVANE_LIBFUZZER=ON
# This fragment runs before some of the fuzz targets exist, so the work is deferred: the
# instrumentation to the end of the top-level directory (when every target exists), the
# fuzz executables and their corpus tests to the end of this directory.
option(ORVANE_LIBFUZZER "Build the fuzz targets with libFuzzer (needs clang)" OFF)

if(ORVANE_LIBFUZZER)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ORVANE_LIBFUZZER needs clang (CC=clang CXX=clang++)")
  endif()

  set_property(GLOBAL PROPERTY ORVANE_FUZZ_TARGETS fuzz_abc fuzz_actions fuzz_extract fuzz_loadplay fuzz_render fuzz_sound fuzz_text fuzz_video)

  function(_orvane_collect_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(child IN LISTS children)
      _orvane_collect_targets(${child} child_targets)
      list(APPEND targets ${child_targets})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
  endfunction()

  # Coverage everywhere, so the fuzzer sees which branches of the engine an input reached.
  function(_orvane_instrument_all)
    get_property(fuzzers GLOBAL PROPERTY ORVANE_FUZZ_TARGETS)
    _orvane_collect_targets(${PROJECT_SOURCE_DIR} targets)
    foreach(t IN LISTS targets)
      get_target_property(type ${t} TYPE)
      if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
        target_compile_options(${t} PRIVATE -fsanitize=fuzzer-no-link)
        if(NOT type STREQUAL "STATIC_LIBRARY" AND NOT type STREQUAL "OBJECT_LIBRARY"
           AND NOT t IN_LIST fuzzers)
          target_link_options(${t} PRIVATE -fsanitize=fuzzer-no-link)
        endif()
      endif()
    endforeach()
  endfunction()

  # The fuzz executables take libFuzzer's main. Their corpus tests then replay each seed
  # file once (files, not the directory: given a directory libFuzzer would start fuzzing
  # and write new inputs into the committed corpus).
  function(_orvane_setup_fuzzers)
    get_property(fuzzers GLOBAL PROPERTY ORVANE_FUZZ_TARGETS)
    foreach(t IN LISTS fuzzers)
      if(NOT TARGET ${t})
        continue()
      endif()
      target_compile_definitions(${t} PRIVATE ORVANE_LIBFUZZER)
      target_link_options(${t} PRIVATE -fsanitize=fuzzer)
      string(REPLACE "fuzz_" "" corpus ${t})
      if(TEST ${t}_corpus)
        file(GLOB seeds CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${corpus}/*)
        set_tests_properties(${t}_corpus PROPERTIES DISABLED TRUE)
        add_test(NAME ${t}_corpus_replay COMMAND ${t} -rss_limit_mb=2048 ${seeds})
        get_test_property(${t}_corpus ENVIRONMENT env)
        set_tests_properties(${t}_corpus_replay PROPERTIES LABELS "fuzz;asan")
        if(env)
          set_tests_properties(${t}_corpus_replay PROPERTIES ENVIRONMENT "${env}")
        endif()
      endif()
    endforeach()
  endfunction()

  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _orvane_instrument_all)
  cmake_language(DEFER CALL _orvane_setup_fuzzers)
endif()
