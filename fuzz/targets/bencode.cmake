add_syncshell_fuzz_target(bencode SOURCES ${SYNCSHELL_FUZZ_BENCODE_SOURCES})
