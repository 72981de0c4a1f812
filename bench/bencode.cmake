add_syncshell_bench(bencode SOURCES ${CMAKE_CURRENT_LIST_DIR}/bencode_bench.cpp
    LIBRARIES syncshell_bencode syncshell_utiltext syncshell_textconv)
