# kv_add_test(NAME SOURCES ... LIBS ...): one GoogleTest program, each of its tests registered
# with CTest and run without a display.
find_package(GTest REQUIRED)
include(GoogleTest)

set(KV_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
if(KV_SANITIZE)
  list(APPEND KV_TEST_ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endif()

function(kv_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kv_testmain ${ARG_LIBS} GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "${KV_TEST_ENVIRONMENT}"
    DISCOVERY_TIMEOUT 60)
endfunction()
