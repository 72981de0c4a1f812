add_syncshell_fuzz_target(syncstate SOURCES
    syncstate/syncfolderrecord.cpp syncstate/placeholderrecord.cpp ${SYNCSHELL_FUZZ_BENCODE_SOURCES})
