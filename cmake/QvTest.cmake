# qv_add_test(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>] [LABELS <labels...>])
# One Qt Test executable, one CTest test. Every test has a time-out so that a deadlock fails
# the run instead of hanging it, and runs on the offscreen platform whoever starts ctest.
# Under the thread sanitizer, accesses made inside Debian's uninstrumented Qt libraries (Qt
# Test's watchdog thread, for one) are not judged: the sanitizer cannot see Qt's own futex
# synchronisation there. The program's code, the watcher's hand-over included, is instrumented
# and judged in full; nothing is suppressed.
function(qv_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen" "QV_TEST=1"
      "ASAN_OPTIONS=halt_on_error=1:detect_leaks=1"
      "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
      "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
