#include "cppmicroservices/Framework.h"

#include <utility>

#include "core_context.h"

namespace cppmicroservices {

Framework::Framework(std::shared_ptr<CoreContext> core, std::shared_ptr<BundlePrivate> system)
    : Bundle(std::move(core), std::move(system)) {}

Framework::~Framework() = default;

void Framework::Start() { core_->start(*d_); }
void Framework::Stop() { core_->stop(*d_); }

FrameworkEvent Framework::WaitForStop(const std::chrono::milliseconds& timeout) {
  return core_->waitForStop(timeout);
}

}  // namespace cppmicroservices
