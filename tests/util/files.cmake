# Path vectors and the pure readers of the file layer; handles, file
# information and whole-file operations under Wine.
add_syncshell_test(util_paths_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pathvector_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/streamwalk_test.cpp
    LIBRARIES syncshell_files syncshell_utiltext syncshell_bencode syncshell_textconv)
add_syncshell_test(util_files_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/handle_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fileinfo_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/safefile_test.cpp
    LIBRARIES syncshell_files syncshell_utiltext syncshell_bencode syncshell_textconv)
