#pragma once

#include <string>

namespace cppmicroservices {

// What the framework needs from a bundle's "<name>/manifest.json".
class BundleManifest {
 public:
  BundleManifest(std::string name, std::string symbolicName, bool hasActivator);

  // Reads the manifest text of the bundle folder name. Throws
  // std::runtime_error, naming location, for text that is not a JSON object
  // or lacks a non-empty string "bundle.symbolic_name".
  static BundleManifest parse(const std::string& location, const std::string& name,
                              const std::string& text);

  // The ZIP folder name: also the suffix of the library's entry points.
  const std::string& name() const { return name_; }
  const std::string& symbolicName() const { return symbolicName_; }
  // True only when "bundle.activator" is the JSON boolean true.
  bool hasActivator() const { return hasActivator_; }

 private:
  std::string name_;
  std::string symbolicName_;
  bool hasActivator_;
};

}  // namespace cppmicroservices
