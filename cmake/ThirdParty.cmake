# zlib comes from Debian's MinGW package (static); minizip's reader is built
# from Debian's zlib source package, fetched by scripts/bootstrap.
find_library(SYNCSHELL_ZLIB NAMES libz.a REQUIRED)
find_path(SYNCSHELL_ZLIB_INCLUDE zlib.h REQUIRED)
set(SYNCSHELL_MINIZIP_DIR ${CMAKE_SOURCE_DIR}/third_party/zlib-src/contrib/minizip)
if(NOT EXISTS ${SYNCSHELL_MINIZIP_DIR}/unzip.c)
  message(FATAL_ERROR "minizip sources missing: run scripts/bootstrap")
endif()
add_library(minizip STATIC ${SYNCSHELL_MINIZIP_DIR}/unzip.c ${SYNCSHELL_MINIZIP_DIR}/ioapi.c)
target_include_directories(minizip SYSTEM PUBLIC ${SYNCSHELL_MINIZIP_DIR} ${SYNCSHELL_ZLIB_INCLUDE})
target_compile_definitions(minizip PRIVATE NOCRYPT NOUNCRYPT)
target_compile_options(minizip PRIVATE -w)
target_link_libraries(minizip PUBLIC ${SYNCSHELL_ZLIB})
