#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velk::host_rig {

// Whether a bundle file was built against the framework this host runs.
// The stock CppMicroServices and the stand-in (standins/framework) share
// their header and target names but not their binary interface: a bundle
// built for one and installed into the other crashes the host. The two are
// told apart by the file name the bundle asks the dynamic linker for (its
// DT_NEEDED entry): the stock one carries its version, the stand-in none.
class FrameworkMatch {
 public:
  // One line naming the framework the bundle needs and the one this host
  // runs when they differ; nothing when they match or when the file is not
  // an ELF library that names a framework (the framework then says why it
  // cannot install it).
  static std::optional<std::string> problem(const std::string& bundle_path);

  // The framework library the bundle file names, if any.
  static std::optional<std::string> neededFramework(const std::string& bundle_path);
  // The framework library loaded into this process, if any.
  static std::optional<std::string> hostFramework();
  // "libCppMicroServices.so.3.8.12 (stock CppMicroServices 3.8.12)".
  static std::string describe(const std::string& library);

 private:
  static std::vector<std::string> neededLibraries(const std::string& path);
};

}  // namespace velk::host_rig
