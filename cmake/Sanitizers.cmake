# ROCKER_SANITIZE=thread or ROCKER_SANITIZE=address (address + undefined).
set(ROCKER_SANITIZE "" CACHE STRING "Sanitizer build: thread, address or empty")
if(ROCKER_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(ROCKER_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT ROCKER_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ROCKER_SANITIZE must be thread, address or empty")
endif()
# -O1 for the sanitizer builds: it halves their compile time (the template-
# heavy TOML and test code takes minutes per file at -O2 with the
# sanitizers), and the sanitizers' own documentation recommends it.
if(NOT ROCKER_SANITIZE STREQUAL "")
  foreach(lang C CXX)
    set(CMAKE_${lang}_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG")
  endforeach()
endif()
