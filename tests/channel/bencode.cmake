add_syncshell_test(bencode_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/bencode_codec_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bencode_values_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bencode_deep_test.cpp
    LIBRARIES syncshell_bencode syncshell_textconv)
