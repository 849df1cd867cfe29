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
