#include <memory>

#include "core_context.h"
#include "cppmicroservices/FrameworkFactory.h"

namespace cppmicroservices {

// The configuration and the logger are accepted for compatibility; this
// framework has no settings and reports failures by exceptions.
Framework FrameworkFactory::NewFramework(const FrameworkConfiguration& /*configuration*/,
                                         std::ostream* /*logger*/) {
  auto core = std::make_shared<CoreContext>();
  return Framework(core, core->systemBundle());
}

}  // namespace cppmicroservices
