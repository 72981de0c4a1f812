# GoogleTest from Debian's source copy, built with the cross compiler.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(SYNCSHELL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SYNCSHELL_WINE_LOADER /usr/lib/wine/wine64)
else()
  set(SYNCSHELL_WINE_LOADER /usr/lib/wine/wine)
endif()
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# One ctest entry per test executable: a Wine process start costs seconds.
# add_syncshell_test(name [USES_DLL] [X64_RUN_ONLY] SOURCES files... [LIBRARIES libs...]):
# the test links the layer libraries it exercises (their own dependencies
# come with them), or the roof, syncshell_module, without LIBRARIES; USES_DLL
# builds the DLL (and the tools) first because the test loads it.
# X64_RUN_ONLY builds the program in both architectures but runs it from the
# x64 build only: the long runs would double CI time for the same code paths.
function(add_syncshell_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "USES_DLL;X64_RUN_ONLY" "" "SOURCES;LIBRARIES")
  add_executable(${name} ${arg_SOURCES})
  if(NOT arg_LIBRARIES)
    set(arg_LIBRARIES syncshell_module)
  endif()
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
  target_link_libraries(${name} PRIVATE syncshell_testsupport gtest_main gtest)
  if(arg_USES_DLL)
    add_dependencies(${name} SyncShellContextMenu syncshell_tools)
  endif()
  if(arg_X64_RUN_ONLY AND NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
