# Paths, file information, handles and whole-file operations.
add_syncshell_library(syncshell_files
    ${CMAKE_CURRENT_LIST_DIR}/pathvector.cpp
    ${CMAKE_CURRENT_LIST_DIR}/canonicalpathvector.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directorytree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ntdllimports.cpp
    ${CMAKE_CURRENT_LIST_DIR}/streaminfowalk.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fileinfo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/securitystrings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/handle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/filehandle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/folderhandle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symlinkhandle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/streamhandle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/safefile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sha1digest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fileguardheader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fileguard.cpp)
