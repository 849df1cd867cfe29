# Run at install time (install(CODE) in cmake/Packaging.cmake): strips the
# installed bundle, keeps its debug information in a separate file, and
# appends the bundle's resources again, since stripping drops the ZIP that
# holds its manifest and without a manifest no framework loads it.
#
# In: ROCKER_INSTALLED_BUNDLE (the installed file), ROCKER_DEBUG_FILE (where
# the debug information goes, outside the installed tree), ROCKER_RESOURCES_ZIP
# (the resources ZIP the build appended), ROCKER_OBJCOPY, ROCKER_STRIP,
# ROCKER_ZIP.

function(rocker_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "rocker: '${ARGN}' failed (${result})")
  endif()
endfunction()

foreach(_input ROCKER_INSTALLED_BUNDLE ROCKER_RESOURCES_ZIP)
  if(NOT EXISTS "${${_input}}")
    message(FATAL_ERROR "rocker: ${${_input}} is missing; build the bundle before installing")
  endif()
endforeach()
get_filename_component(_debug_dir "${ROCKER_DEBUG_FILE}" DIRECTORY)
get_filename_component(_debug_name "${ROCKER_DEBUG_FILE}" NAME)
file(MAKE_DIRECTORY "${_debug_dir}")
rocker_run(${ROCKER_OBJCOPY} --only-keep-debug "${ROCKER_INSTALLED_BUNDLE}" "${ROCKER_DEBUG_FILE}")
# As Debian strips shared libraries: symbols not needed for relocation, and
# the compiler's notes.
rocker_run(${ROCKER_STRIP} --strip-unneeded --remove-section=.comment --remove-section=.note
           "${ROCKER_INSTALLED_BUNDLE}")
# The link from the library to its debug file, found by name in the
# debugger's search path or beside the library.
rocker_run(${ROCKER_OBJCOPY} "--add-gnu-debuglink=${ROCKER_DEBUG_FILE}" "${ROCKER_INSTALLED_BUNDLE}")
# Appending binary data with file(APPEND) would need it decoded; cat does it.
rocker_run(sh -c "cat \"$1\" >> \"$2\"" sh "${ROCKER_RESOURCES_ZIP}" "${ROCKER_INSTALLED_BUNDLE}")
rocker_run(${ROCKER_ZIP} -q -A "${ROCKER_INSTALLED_BUNDLE}")
message(STATUS "rocker: stripped ${ROCKER_INSTALLED_BUNDLE}, debug information in ${_debug_name}")
