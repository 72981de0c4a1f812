# Text conversions (thin, over the Win32 code-page functions) apart from the
# formatter, so that bencode needs only the former. The formatter's engine,
# sinks and number texts are pure; strfmtnet and utilassert are the thin
# Win32 files of the formatter.
add_syncshell_library(syncshell_textconv
    ${CMAKE_CURRENT_LIST_DIR}/textconv.cpp)

add_syncshell_library(syncshell_utiltext
    ${CMAKE_CURRENT_LIST_DIR}/strfmt.cpp
    ${CMAKE_CURRENT_LIST_DIR}/strfmtengine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/strfmtnumbers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/strfmtnet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sizeunits.cpp
    ${CMAKE_CURRENT_LIST_DIR}/utilassert.cpp)
target_link_libraries(syncshell_utiltext PUBLIC syncshell_bencode syncshell_textconv)
