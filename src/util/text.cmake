# Text conversions (thin, over the Win32 code-page functions) apart from the
# formatter, so that bencode needs only the former.
add_syncshell_library(syncshell_textconv
    ${CMAKE_CURRENT_LIST_DIR}/textconv.cpp)
