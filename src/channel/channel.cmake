add_syncshell_library(syncshell_channel
    pipeclient.cpp)
