add_syncshell_test(bencode_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/bencode_test.cpp
    LIBRARIES syncshell_bencode syncshell_textconv)
