# The machine hive served by PostgreSQL, tested on a real server: one private
# server for the test run (scripts/test-server), in the build tree, started
# before the first test that needs it and stopped after the last.
set(VINTUTIL_TEST_SERVER_DIR ${PROJECT_BINARY_DIR}/test-server)
# Without PostgreSQL 15 installed (the script's status 3) the start is
# skipped and the served tests skip, saying why, except in continuous
# integration (CI set), where they must run.
add_test(NAME test_server_start COMMAND sh -c [[
  "$0" start "$1" && exit 0
  status=$?
  [ $status -eq 3 ] && [ -z "${CI:-}" ] && exit 77
  exit $status]] ${PROJECT_SOURCE_DIR}/scripts/test-server ${VINTUTIL_TEST_SERVER_DIR})
add_test(NAME test_server_stop
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/test-server stop ${VINTUTIL_TEST_SERVER_DIR})
set_tests_properties(test_server_start PROPERTIES FIXTURES_SETUP test_server SKIP_RETURN_CODE 77
  LABELS served TIMEOUT 60)
set_tests_properties(test_server_stop PROPERTIES FIXTURES_CLEANUP test_server LABELS served TIMEOUT 60)

# Registers the tests of test_<subject> that `filter` (a GoogleTest filter)
# selects a second time, as <test>.served, each on a machine hive of its own
# on that server (TempRegistry).
function(vintutil_served_tests subject filter)
  gtest_discover_tests(test_${subject} TEST_FILTER ${filter} TEST_SUFFIX .served
    DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS served TIMEOUT 900 FIXTURES_REQUIRED test_server
               ENVIRONMENT VINTUTIL_TEST_SERVER=${VINTUTIL_TEST_SERVER_DIR})
endfunction()
