# The pipe, the mutexes and the uninstall key are shared by every test that
# plays the application; they take this lock so that they never overlap.
set(SYNCSHELL_APPLICATION_LOCK tamvera_sync_application)

add_syncshell_test(channel_message_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/commandmessages_test.cpp
    LIBRARIES syncshell_channel syncshell_bencode syncshell_textconv)

add_syncshell_test(channel_pipe_tests USES_DLL SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/delivery_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fakeapp.cpp
    ${CMAKE_SOURCE_DIR}/tests/contextmenu/menuharness.cpp
    LIBRARIES syncshell_channel syncshell_bencode syncshell_textconv syncshell_module syncshell_log
              syncshell_files syncshell_utiltext)
set_tests_properties(channel_pipe_tests PROPERTIES RESOURCE_LOCK ${SYNCSHELL_APPLICATION_LOCK})
