# The pipe, the mutexes and the uninstall key are shared by every test that
# plays the application; they take this lock so that they never overlap.
set(SYNCSHELL_APPLICATION_LOCK tamvera_sync_application)

add_syncshell_test(channel_message_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/commandmessages_test.cpp
    LIBRARIES syncshell_channel syncshell_bencode syncshell_textconv)

add_syncshell_test(channel_pipe_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pipeclient_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fakesyncapp_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/delivery_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fakeapp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/droplist.cpp
    LIBRARIES syncshell_channel syncshell_bencode syncshell_textconv syncshell_module syncshell_log
              syncshell_files syncshell_utiltext)
add_dependencies(channel_pipe_tests fakesyncapp)
set_tests_properties(channel_pipe_tests PROPERTIES RESOURCE_LOCK ${SYNCSHELL_APPLICATION_LOCK})

add_syncshell_test(channel_dll_tests USES_DLL SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dllunload_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fakeapp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/droplist.cpp
    LIBRARIES syncshell_testsupport)
set_tests_properties(channel_dll_tests PROPERTIES RESOURCE_LOCK ${SYNCSHELL_APPLICATION_LOCK})
