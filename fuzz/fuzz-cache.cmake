# Initial cache of the fuzzing build (cmake -C fuzz/fuzz-cache.cmake): every
# library the fuzz targets link is compiled with coverage for libFuzzer and
# with AddressSanitizer and UndefinedBehaviorSanitizer, and only what the
# targets need is configured.
set(ROCKER_FUZZ ON CACHE BOOL "")
set(ROCKER_BUILD_TESTS OFF CACHE BOOL "")
set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "")
# -O1, as libFuzzer's documentation suggests; it also halves compile time.
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG" CACHE STRING "")
set(CMAKE_C_FLAGS "-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" CACHE STRING "")
set(CMAKE_CXX_FLAGS "-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "-fsanitize=address,undefined" CACHE STRING "")
set(CMAKE_SHARED_LINKER_FLAGS "-fsanitize=address,undefined" CACHE STRING "")
