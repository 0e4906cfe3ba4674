# zip.cmake: the ZIP library (zip/), its tests, its tool, fuzzer and benchmark.
# The library needs only the platform layer and zlib; <windows.h> stays in
# its Windows adapter, the native build takes the POSIX one.

set(ZIP_SOURCES
  zip/zip_archive.cpp
  zip/zip_archive_copy.cpp
  zip/zip_archive_edit.cpp
  zip/zip_archive_extract.cpp
  zip/zip_central_dir.cpp
  zip/zip_compatibility.cpp
  zip/zip_crypto.cpp
  zip/zip_exception.cpp
  zip/zip_file.cpp
  zip/zip_file_header.cpp
  zip/zip_file_system.cpp
  zip/zip_mem_file.cpp
  zip/zip_path_component.cpp
  zip/zip_removable_disk.cpp
  zip/zip_storage.cpp
  zip/zip_wildcard.cpp
)
file(GLOB ZIP_TEST_SOURCES CONFIGURE_DEPENDS tests/zip/*_test.cpp)

if(WIN32)
  # The layer of its own between platform and foundation, with its own
  # include root; the tests reach their helpers through test_headers.
  add_layer(zip FOLDERS zip EXCLUDE zip/zip_file_system_posix.cpp LINKS platform z)

  add_executable(zip_tests ${ZIP_TEST_SOURCES})
  target_link_libraries(zip_tests PRIVATE zip gtest_main test_headers)

  add_executable(zip_tool tests/tools/zip_tool.cpp)
  target_link_options(zip_tool PRIVATE -municode)
  target_link_libraries(zip_tool PRIVATE zip)
else()
  find_package(ZLIB REQUIRED)
  add_library(zip STATIC ${ZIP_SOURCES} zip/zip_file_system_posix.cpp platform/wide_string.cpp)
  target_link_libraries(zip PUBLIC ZLIB::ZLIB)

  add_executable(zip_tests ${ZIP_TEST_SOURCES})
  target_link_libraries(zip_tests PRIVATE zip gtest_main)

  add_executable(zip_tool tests/tools/zip_tool.cpp)
  target_link_libraries(zip_tool PRIVATE zip)

  # The fuzzer instruments the library itself, so it compiles the sources anew.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_executable(zip_fuzzer tests/fuzz/zip_fuzzer.cpp ${ZIP_SOURCES}
      zip/zip_file_system_posix.cpp platform/wide_string.cpp)
    target_compile_options(zip_fuzzer PRIVATE -fsanitize=fuzzer)
    target_link_options(zip_fuzzer PRIVATE -fsanitize=fuzzer)
    target_link_libraries(zip_fuzzer PRIVATE ZLIB::ZLIB)
  endif()

  # Figures come from an optimised build without sanitizers.
  add_executable(zip_bench bench/zip_bench.cpp ${ZIP_SOURCES} zip/zip_file_system_posix.cpp
    platform/wide_string.cpp)
  set_target_properties(zip_bench PROPERTIES COMPILE_OPTIONS "-O2" LINK_OPTIONS "")
  target_link_libraries(zip_bench PRIVATE ZLIB::ZLIB)
endif()

if(WIN32)
  # bench/*_bench.cpp become programs with the others, wherever this file is
  # included: the link is added once the whole list file has been read.
  cmake_language(DEFER CALL target_link_libraries zip_bench PRIVATE zip)
endif()
