#include "bundle_manifest.h"

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <utility>

namespace cppmicroservices {

BundleManifest::BundleManifest(std::string name, std::string symbolicName, bool hasActivator)
    : name_(std::move(name)), symbolicName_(std::move(symbolicName)), hasActivator_(hasActivator) {}

BundleManifest BundleManifest::parse(const std::string& location, const std::string& name,
                                     const std::string& text) {
  const std::string where = "bundle \"" + name + "\" in " + location;
  const nlohmann::json manifest = nlohmann::json::parse(text, nullptr, false);
  if (manifest.is_discarded() || !manifest.is_object()) {
    throw std::runtime_error("The manifest of " + where + " is not a JSON object");
  }
  const nlohmann::json symbolic = manifest.value("bundle.symbolic_name", nlohmann::json());
  std::string symbolicName;
  if (symbolic.is_string()) symbolic.get_to(symbolicName);
  if (symbolicName.empty()) {
    throw std::runtime_error("The manifest of " + where +
                             " lacks a non-empty string \"bundle.symbolic_name\"");
  }
  // Only the JSON boolean true asks for the activator; "true" or 1 do not.
  const nlohmann::json activator = manifest.value("bundle.activator", nlohmann::json());
  const bool hasActivator = activator.is_boolean() && activator.get<bool>();
  return BundleManifest(name, symbolicName, hasActivator);
}

}  // namespace cppmicroservices
