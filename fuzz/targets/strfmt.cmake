add_syncshell_fuzz_target(strfmt SOURCES ${SYNCSHELL_FUZZ_FORMAT_SOURCES})
