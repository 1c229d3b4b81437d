# Reliability checks that are not unit tests: the sanitizer probes, and (with labels of their
# own) the long-running and whole-program checks. Included from tests/CMakeLists.txt.

# sanitizer_probe: float data must run clean in every build; in a sanitizer build an integer
# overflow, an out-of-bounds read and a leak must each be reported.
add_executable(sanitizer_probe sanitizer_probe.cpp)
target_link_libraries(sanitizer_probe PRIVATE field)
add_test(NAME sanitizer_float_data_is_not_a_fault COMMAND sanitizer_probe float)

string(TOUPPER "${CMAKE_BUILD_TYPE}" _build_type)
set(_all_flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${_build_type}}")
if(_all_flags MATCHES "-fsanitize=[^ ]*address" AND _all_flags MATCHES "-fsanitize=[^ ]*undefined")
  # The probe's fault must be reported (the text of the report is the pass condition); the
  # process is let exit rather than abort so ctest reads the report as output, not a crash.
  set(_env "ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0"
           "UBSAN_OPTIONS=halt_on_error=1:abort_on_error=0")
  foreach(probe IN ITEMS "overflow;signed integer overflow" "oob;heap-buffer-overflow"
                         "leak;detected memory leaks")
    list(GET probe 0 mode)
    list(GET probe 1 report)
    add_test(NAME sanitizer_reports_${mode} COMMAND sanitizer_probe ${mode} 1)
    set_tests_properties(sanitizer_reports_${mode} PROPERTIES
      PASS_REGULAR_EXPRESSION "${report}" ENVIRONMENT "${_env}" LABELS sanitizer)
  endforeach()
endif()
