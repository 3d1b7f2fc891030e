# The command-line program's tests: the .reg unit tests and in-process tests
# link its code; the end-to-end tests run the built program, whose path they
# receive as VINTUTIL_CLI_PATH.
if(TARGET test_cli)
  target_link_libraries(test_cli PRIVATE vintutil_cli_commands)
  target_compile_definitions(test_cli PRIVATE VINTUTIL_CLI_PATH="$<TARGET_FILE:vintutil_cli>")
  add_dependencies(test_cli vintutil_cli)
endif()
