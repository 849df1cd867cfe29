#include "host/common_interface/zorv_math.h"

#include <utility>

#include "host_backend.h"

namespace velk::common_interface {

Math::Math(std::shared_ptr<HostBackend> backend) : backend_(std::move(backend)) {}

std::vector<double> Math::poseTrans(const std::vector<double>& p1, const std::vector<double>& p2) {
  return backend_->poseTrans(p1, p2);
}

}  // namespace velk::common_interface
