# The Debian package of the bundle (scripts/package.sh runs cpack): only what
# cmake --install puts in place, that is librocker.so in ROCKER_EXTENSION_DIR.

# Installing (and so cpack) does not build the whole tree first: only the
# bundle is installed, and scripts/package.sh builds it beforehand.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Offered only for a bundle built against the stock framework: one built
# against the stand-in cannot be loaded by any host.
if(NOT ROCKER_FRAMEWORK MATCHES "^stock ")
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rocker)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR zorv)
set(CPACK_PACKAGE_CONTACT "rocker developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Six-axis joystick jogging for the robot control system")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "The rocker extension bundle, loaded by the control system through its CppMicroServices "
  "framework. The control system provides the framework, libkelmi.so.0 and the robot API.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# rocker_<version>_<arch>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
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
