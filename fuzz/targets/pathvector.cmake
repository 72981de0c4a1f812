add_syncshell_fuzz_target(pathvector SOURCES util/pathvector.cpp)
