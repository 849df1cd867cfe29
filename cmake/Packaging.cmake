# The Debian package of the bundle (scripts/package.sh runs cpack): only what
# cmake --install puts in place, that is librocker.so in ROCKER_EXTENSION_DIR
# (stripped, see src/bundle_activator) and its copyright and changelog.

# Installing (and so cpack) does not build the whole tree first: only the
# bundle is installed, and scripts/package.sh builds it beforehand.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The installed bundle is stripped (cmake/StripBundle.cmake), its debug
# information kept in <build>/debug/librocker.so.debug, and the resources
# appended again after stripping, which drops them; the built file stays
# whole. Runs after the bundle's own install rule, which comes first in the
# tree.
find_program(ROCKER_OBJCOPY_EXECUTABLE objcopy REQUIRED)
find_program(ROCKER_STRIP_EXECUTABLE strip REQUIRED)
install(CODE "
  set(_dir \"${ROCKER_EXTENSION_DIR}\")
  if(NOT IS_ABSOLUTE \"\${_dir}\")
    set(_dir \"\${CMAKE_INSTALL_PREFIX}/\${_dir}\")
  endif()
  set(ROCKER_INSTALLED_BUNDLE \"\$ENV{DESTDIR}\${_dir}/$<TARGET_FILE_NAME:rocker>\")
  set(ROCKER_DEBUG_FILE \"${PROJECT_BINARY_DIR}/debug/$<TARGET_FILE_NAME:rocker>.debug\")
  set(ROCKER_RESOURCES_ZIP \"$<TARGET_FILE_DIR:rocker>/rocker_resources/resources.zip\")
  set(ROCKER_OBJCOPY \"${ROCKER_OBJCOPY_EXECUTABLE}\")
  set(ROCKER_STRIP \"${ROCKER_STRIP_EXECUTABLE}\")
  set(ROCKER_ZIP \"${ROCKER_ZIP_EXECUTABLE}\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/StripBundle.cmake\")
")

# Offered only for a bundle built against the stock framework: one built
# against the stand-in cannot be loaded by any host.
if(NOT ROCKER_FRAMEWORK MATCHES "^stock ")
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rocker)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR zorv)
set(ROCKER_PACKAGE_MAINTAINER "rocker developers <rocker@zorv.example>" CACHE STRING
    "Maintainer of the Debian package, a name and an address")
set(CPACK_PACKAGE_CONTACT "${ROCKER_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ROCKER_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Six-axis joystick jogging for the robot control system")
# Lines of the extended description stay under 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "The rocker extension bundle, loaded by the control system through its\n"
  "CppMicroServices framework. The control system provides the framework,\n"
  "libkelmi.so.0 and the robot API.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# rocker_<version>_<arch>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# The copyright file and the changelog every Debian package carries, in
# /usr/share/doc/rocker. The changelog goes in compressed as Debian wants
# it, without a name or time stamp in the gzip header so that the package
# comes out the same from the same sources.
set(_rocker_doc_dir share/doc/${CPACK_PACKAGE_NAME})
set(_rocker_changelog ${PROJECT_SOURCE_DIR}/packaging/changelog)
set(_rocker_changelog_gz ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
execute_process(COMMAND gzip -9nc INPUT_FILE ${_rocker_changelog} OUTPUT_FILE ${_rocker_changelog_gz}
                RESULT_VARIABLE _rocker_gzip_result)
if(NOT _rocker_gzip_result EQUAL 0)
  message(FATAL_ERROR "rocker: cannot compress ${_rocker_changelog}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_rocker_changelog})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${_rocker_changelog_gz}
        DESTINATION ${_rocker_doc_dir})
# Dependencies from the libraries the bundle links (libmodbus, the C and C++
# runtimes). The framework and libkelmi.so.0 come with the control system, not
# from a Debian package: the installed run path no longer leads to them, so
# dpkg-shlibdeps is shown where they are, and CPack's --ignore-missing-info
# lets it pass over their missing package information. The robot API symbols,
# which the host process provides, only draw its warnings.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
get_target_property(_rocker_framework_library CppMicroServices IMPORTED_LOCATION_RELEASE)
if(NOT _rocker_framework_library)
  get_target_property(_rocker_framework_library CppMicroServices LOCATION)
endif()
get_filename_component(_rocker_framework_dir "${_rocker_framework_library}" DIRECTORY)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    "${_rocker_framework_dir}" "${PROJECT_BINARY_DIR}/standins/kelmi")
include(CPack)
