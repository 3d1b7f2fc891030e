# Test files that the Windows build leaves out, relative to tests/, each with
# the reason it cannot run there. Everything else runs on both platforms.
set(VINTUTIL_LINUX_ONLY_TESTS
  # The stand-in's own diagnostics: a reset invalidates handles and rereads
  # the hive location.
  registry/diagnostics_test.cpp
  # Faults injected below the API (RegDiagFailStorageNth) and the handle
  # table's slots.
  registry/storage_faults_test.cpp
  # Whether the hive files exist before and after the first write.
  registry/new_hive_test.cpp
  # Damages and forges the stand-in's SQLite hive files.
  registry/bad_input_test.cpp
  # Kills a writing child process (fork, SIGKILL) and reopens its hive.
  registry/crash_test.cpp
  # Forked processes on one hive file, contending for its SQLite lock.
  registry/multiprocess_test.cpp
  # POSIX permissions of the hive files and their change counters, as root
  # and as nobody.
  registry/permissions_test.cpp
  # Starts, kills and restarts a PostgreSQL server of its own.
  registry/served_hive_test.cpp
  # Throwaway users plant files among the hives, administer one as a group
  # and hold POSIX locks on its files.
  registry/foreign_files_test.cpp
  registry/reader_locks_test.cpp
  # Forked processes and threads sharing state through anonymous shared memory.
  registry/stress_test.cpp
  # Fills the disk with a file size limit (setrlimit, SIGXFSZ) in a forked child.
  registry/full_disk_test.cpp
  # The change history of the registry stand-in: forks, kills, switches users
  # and reads its SQLite tables.
  registry/history_test.cpp
  # Forked watchers and writers, as root and nobody, and /proc's counts of
  # descriptors and threads.
  registry/notification_processes_test.cpp
  # reg history and reg watch exist only over the registry stand-in.
  cli/history_cli_test.cpp
  cli/watch_cli_test.cpp
  # The machine hive's server is the registry stand-in's (registry_server.h).
  cli/server_status_test.cpp
  # POSIX file modes, symbolic links and a throwaway user around exports.
  cli/private_export_test.cpp
  # Makes setup fail through the registry stand-in's location (VINTUTIL_REGISTRY).
  cli/setup_unwritable_test.cpp
  # Records the plant tools' starts with POSIX shell scripts.
  settings/plant_tools_test.cpp
  # Compares the program's disk figures with statvfs.
  cli/date_df_test.cpp
  # Starts the program with fork and exec; Windows uses cli/windows/run_cli.cpp.
  cli/run_cli.cpp
  # The POSIX stand-ins of KERNEL32 (statvfs, quota, module lookup).
  utilities/disk_space_test.cpp
  # Starts POSIX shell scripts as programs.
  utilities/winexec_test.cpp
  # Derivation of the regional settings from POSIX LC_TIME locales.
  datetime/locale_derivation_test.cpp
  datetime/installed_locale.cpp
  # The regional settings stand-in's own interface (regional_settings.h).
  datetime/get_locale_info_test.cpp
  # Replaces GetLocaleInfoA through the dynamic linker (dlsym RTLD_NEXT).
  datetime/settings_queries_test.cpp
)
