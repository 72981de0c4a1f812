# Command messages (pure), and the pipe client with its delivery threads.
add_syncshell_library(syncshell_channel
    ${CMAKE_CURRENT_LIST_DIR}/commandbatch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/commandmessages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/delivery.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pipeclient.cpp)
target_link_libraries(syncshell_channel PUBLIC syncshell_bencode syncshell_module syncshell_log)
