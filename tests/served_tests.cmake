# The machine hive served by PostgreSQL, tested on a real server: one private
# server for the test run (scripts/test-server), in the build tree, started
# before the first test that needs it and stopped after the last.
set(VINTUTIL_TEST_SERVER_DIR ${PROJECT_BINARY_DIR}/test-server)
add_test(NAME test_server_start
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/test-server start ${VINTUTIL_TEST_SERVER_DIR})
add_test(NAME test_server_stop
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/test-server stop ${VINTUTIL_TEST_SERVER_DIR})
set_tests_properties(test_server_start PROPERTIES FIXTURES_SETUP test_server LABELS served TIMEOUT 60)
set_tests_properties(test_server_stop PROPERTIES FIXTURES_CLEANUP test_server LABELS served TIMEOUT 60)

