#pragma once

#include <string>
#include <vector>

#include "bundle_manifest.h"

namespace cppmicroservices {

// The ZIP appended to a bundle's library file.
class BundleArchive {
 public:
  // One manifest per top-level folder that holds "manifest.json", in the
  // archive's order. Throws std::runtime_error, naming location, when the file
  // holds no readable ZIP, no bundle at all, or a manifest that is refused.
  static std::vector<BundleManifest> readManifests(const std::string& location);
};

}  // namespace cppmicroservices
