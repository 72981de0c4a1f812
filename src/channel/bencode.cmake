# Bencode values and codec: pure code (it also builds on the host for
# fuzzing); text conversions come from syncshell_textconv.
add_syncshell_library(syncshell_bencode
    ${CMAKE_CURRENT_LIST_DIR}/bytebuffer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bencentity.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bencodeddict.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bencparser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bencwalk.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bencencode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bencrender.cpp)
target_link_libraries(syncshell_bencode PUBLIC syncshell_textconv)
