# Test files that the Windows build leaves out, relative to tests/, each with
# the reason it cannot run there. Everything else runs on both platforms.
set(VINTUTIL_LINUX_ONLY_TESTS
)
