# The DLL must load in Explorer on both architectures: undecorated exports,
# system DLLs only, the right machine type.
add_test(NAME dll_static_checks
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-dll $<TARGET_FILE:SyncShellContextMenu>
                 ${CMAKE_SYSTEM_PROCESSOR} ${SYNCSHELL_TRIPLE}-objdump)

# Every include follows the layers; a tree with an upward include fails.
add_test(NAME include_layers COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-includes ${CMAKE_SOURCE_DIR}/src)
add_test(NAME include_layers_refuse_upward
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-includes ${CMAKE_SOURCE_DIR}/tests/layers/upward)
set_tests_properties(include_layers_refuse_upward PROPERTIES
    PASS_REGULAR_EXPRESSION "com may not use module.*util may not use bencode")

# The identity package's manifest must parse before MakeAppx ever sees it.
add_test(NAME package_manifest_xml COMMAND xmllint --noout ${SYNCSHELL_PACKAGE_DIR}/AppxManifest.xml)
