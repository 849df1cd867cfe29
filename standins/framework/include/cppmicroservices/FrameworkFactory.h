#pragma once

#include <ostream>
#include <string>
#include <unordered_map>

#include "cppmicroservices/Any.h"
#include "cppmicroservices/Framework.h"
#include "cppmicroservices/FrameworkExport.h"

namespace cppmicroservices {

using FrameworkConfiguration = std::unordered_map<std::string, Any>;

// Creates framework instances; each is independent of the others.
class US_Framework_EXPORT FrameworkFactory {
 public:
  Framework NewFramework(const FrameworkConfiguration& configuration = FrameworkConfiguration(),
                         std::ostream* logger = nullptr);
};

}  // namespace cppmicroservices
