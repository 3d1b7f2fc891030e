# The command-line program's tests: the .reg unit tests and in-process tests
# link its code; the end-to-end tests run the built program, whose path they
# receive as VINTUTIL_CLI_PATH.
if(TARGET test_cli)
  target_link_libraries(test_cli PRIVATE vintutil_cli_commands)
  target_compile_definitions(test_cli PRIVATE VINTUTIL_CLI_PATH="$<TARGET_FILE:vintutil_cli>")
  add_dependencies(test_cli vintutil_cli)
  # Windows starts the program its own way (run_cli.cpp is Linux-only).
  if(WIN32)
    target_sources(test_cli PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cli/windows/run_cli.cpp)
  endif()
endif()

# The installed tree: headers, libraries, CMake package and pkg-config file
# serve a program built outside this project. Not in the sanitizer build,
# whose libraries need the sanitizer runtime in every program that loads them.
if(NOT WIN32 AND NOT VINTUTIL_SANITIZE)
  add_test(NAME cli_install_consumer
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/cli/install_consumer.sh ${PROJECT_BINARY_DIR}
            ${CMAKE_CURRENT_SOURCE_DIR}/cli/consumer)
  set_tests_properties(cli_install_consumer PROPERTIES LABELS cli TIMEOUT 600)
endif()
