add_syncshell_test(text_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/strfmt_conversions_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/strfmt_sinks_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/textconv_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/utilassert_test.cpp
    LIBRARIES syncshell_utiltext syncshell_bencode syncshell_textconv)
