# The right-click and the placeholder icon through the built DLL, each with
# its floor and the shell's own work measured in the same run.
add_library(syncshell_shellbenchsupport STATIC ${CMAKE_CURRENT_LIST_DIR}/support/shellfixture.cpp)
target_include_directories(syncshell_shellbenchsupport PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(syncshell_shellbenchsupport PUBLIC syncshell_utiltext ${SYNCSHELL_SYSTEM_LIBS})

foreach(bench menu icon)
  add_syncshell_bench(${bench} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${bench}_bench.cpp
      LIBRARIES syncshell_shellbenchsupport)
  # The benchmark reaches the DLL only through its exports.
  add_dependencies(${bench}_bench SyncShellContextMenu)
endforeach()
