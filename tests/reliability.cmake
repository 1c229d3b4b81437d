# Reliability checks that are not unit tests: the sanitizer probes, and (with labels of their
# own) the long-running and whole-program checks. Included from tests/CMakeLists.txt.

# sanitizer_probe: float data must run clean in every build; in a sanitizer build an integer
# overflow, an out-of-bounds read and a leak must each be reported.
add_executable(sanitizer_probe sanitizer_probe.cpp)
target_link_libraries(sanitizer_probe PRIVATE app_state)
add_test(NAME sanitizer_float_data_is_not_a_fault COMMAND sanitizer_probe float)

string(TOUPPER "${CMAKE_BUILD_TYPE}" _build_type)
set(_all_flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${_build_type}}")
set(_sanitized OFF)
if(_all_flags MATCHES "-fsanitize=[^ ]*address" AND _all_flags MATCHES "-fsanitize=[^ ]*undefined")
  set(_sanitized ON)
endif()
if(_sanitized)
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

# Memcheck over a few frames of gradient-render; not in a sanitizer build (the two tools do not
# mix) nor in a cross build.
find_program(VALGRIND_PROGRAM valgrind)
if(TARGET gradient-render AND VALGRIND_PROGRAM AND NOT _sanitized AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME valgrind_gradient_render
           COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/valgrind_render.sh
                   $<TARGET_FILE:gradient-render> ${CMAKE_CURRENT_BINARY_DIR}/valgrind_render)
  set_tests_properties(valgrind_gradient_render PROPERTIES LABELS valgrind TIMEOUT 300)
endif()

# The demo and the renderer with no display, no font, unwritable outputs and numbers out of
# range: one line of error, the right exit code, nothing left half-written.
if(TARGET gradient-render AND TARGET gradient-demo AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME hostile_environment
           COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/hostile_env.sh $<TARGET_FILE:gradient-demo>
                   $<TARGET_FILE:gradient-render> ${CMAKE_CURRENT_BINARY_DIR}/hostile_env)
  set_tests_properties(hostile_environment PROPERTIES LABELS hostile TIMEOUT 300)
endif()

# Soak: 100,000 frames through the headless presenter with flat resident memory. Under the
# sanitizers a tenth of it, with AddressSanitizer's quarantine of freed blocks turned off: the
# quarantine alone grows the resident set by megabytes (LeakSanitizer still checks at exit).
if(TARGET app AND NOT WIN32)
  gradient_test(soak_test app)
  set_tests_properties(soak_test PROPERTIES LABELS soak TIMEOUT 600)
  if(_sanitized)
    set_tests_properties(soak_test PROPERTIES ENVIRONMENT
      "GRADIENT_SOAK_FRAMES=10000;ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1:quarantine_size_mb=0:thread_local_quarantine_size_kb=0")
  endif()
endif()

# 100,000 Up then 100,000 Down presses at once through the real WinMain loop, headless.
if(TARGET app AND NOT WIN32)
  gradient_test(message_flood_test app)
  set_tests_properties(message_flood_test PROPERTIES LABELS flood TIMEOUT 300)
endif()

# Messages of gradient-render stay one line whatever the arguments hold.
gradient_test(printable_test render_options)

# The output writer and a FIFO in place of the file (Linux: mkfifo).
if(NOT WIN32)
  gradient_test(output_file_fifo_test isocontour_files)
endif()
