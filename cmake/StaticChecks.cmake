# The DLL must load in Explorer on both architectures: undecorated exports,
# system DLLs only, the right machine type.
add_test(NAME dll_static_checks
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-dll $<TARGET_FILE:SyncShellContextMenu>
                 ${CMAKE_SYSTEM_PROCESSOR} ${SYNCSHELL_TRIPLE}-objdump)
