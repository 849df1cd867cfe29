# Compile time. Most of a build goes to parsing the same third-party headers
# (toml11, nlohmann/json, GoogleTest, libmodbus, the standard library) anew in
# every small source file; a test run builds three such trees. Two remedies:
#
# - Unity batches for the libraries: rocker_unity(<target>) compiles its
#   sources a few at a time as one translation unit. Names in anonymous
#   namespaces and file-static names of one batch share a scope there, so two
#   files of a library must not define the same such name (the compiler says
#   so when they do). A file that cannot share goes on its own with
#   rocker_unity(<target> ALONE <files...>). Test programs are not batched:
#   their files give their fixtures and helpers the same short names on
#   purpose.
# - One precompiled GoogleTest header for every test program of a tree
#   (rocker_test_pch(<target>), used by rocker_test()).
#
# -DROCKER_UNITY_BUILD=OFF and -DROCKER_TEST_PCH=OFF build file by file, as
# an editor's tooling or a check of a single file's includes wants.
option(ROCKER_UNITY_BUILD "Compile each library in unity batches" ON)
set(ROCKER_UNITY_BATCH_SIZE 8 CACHE STRING "Source files per unity batch")
# ccache does not cache a compilation that uses a precompiled header (unless
# told to be sloppy about it), and saves more than the header does where it
# is warm: with ccache as the launcher the header is off by default.
if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
  set(rocker_test_pch_default OFF)
else()
  set(rocker_test_pch_default ON)
endif()
option(ROCKER_TEST_PCH "Precompile the GoogleTest header once for all test programs"
       ${rocker_test_pch_default})

# rocker_unity(<target> [ALONE <files...>])
function(rocker_unity target)
  cmake_parse_arguments(U "" "" "ALONE" ${ARGN})
  if(NOT ROCKER_UNITY_BUILD)
    return()
  endif()
  set_target_properties(${target} PROPERTIES
    UNITY_BUILD ON
    UNITY_BUILD_BATCH_SIZE ${ROCKER_UNITY_BATCH_SIZE})
  if(U_ALONE)
    set_source_files_properties(${U_ALONE} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
endfunction()
