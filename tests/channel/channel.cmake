# The pipe, the mutexes and the uninstall key are shared by every test that
# plays the application; they take this lock so that they never overlap.
set(SYNCSHELL_APPLICATION_LOCK tamvera_sync_application)

add_syncshell_test(channel_pipe_tests SOURCES
    pipeclient_test.cpp
    fakesyncapp_test.cpp
    fakeapp.cpp
    LIBRARIES syncshell_channel syncshell_module syncshell_log)
add_dependencies(channel_pipe_tests fakesyncapp)
set_tests_properties(channel_pipe_tests PROPERTIES RESOURCE_LOCK ${SYNCSHELL_APPLICATION_LOCK})
