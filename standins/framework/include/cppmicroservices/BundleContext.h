#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cppmicroservices/Bundle.h"
#include "cppmicroservices/FrameworkExport.h"
#include "cppmicroservices/ServiceInterface.h"
#include "cppmicroservices/ServiceProperties.h"
#include "cppmicroservices/ServiceReference.h"
#include "cppmicroservices/ServiceRegistration.h"

namespace cppmicroservices {

class BundleContextPrivate;

// A bundle's view of the framework: registering and finding services and
// installing bundles. Valid while its bundle is starting, active or
// stopping; every call on an invalid context throws std::runtime_error.
class US_Framework_EXPORT BundleContext {
 public:
  BundleContext();
  BundleContext(const BundleContext&) = default;
  BundleContext(BundleContext&&) noexcept = default;
  BundleContext& operator=(const BundleContext&) = default;
  BundleContext& operator=(BundleContext&&) noexcept = default;
  ~BundleContext();

  explicit operator bool() const;
  bool operator==(const BundleContext& other) const;

  std::vector<Bundle> GetBundles() const;

  // Installs every bundle found in the library file at location (its
  // appended ZIP); returns the bundles already installed from there when it
  // was installed before. Throws std::runtime_error for a file that holds no
  // valid bundle.
  std::vector<Bundle> InstallBundles(const std::string& location);

  ServiceRegistrationU RegisterService(const InterfaceMapConstPtr& service,
                                       const ServiceProperties& properties = ServiceProperties());

  template <class I1, class... Interfaces, class Impl>
  ServiceRegistration<I1, Interfaces...> RegisterService(
      const std::shared_ptr<Impl>& impl,
      const ServiceProperties& properties = ServiceProperties()) {
    InterfaceMapConstPtr services = MakeInterfaceMap<I1, Interfaces...>(impl);
    return RegisterService(services, properties);
  }

  // The services registered under clazz, lowest service id first. Filters are
  // not supported: a non-empty filter throws std::invalid_argument.
  std::vector<ServiceReferenceU> GetServiceReferences(const std::string& clazz,
                                                      const std::string& filter = std::string());

  // The first service registered under clazz; an empty reference when none.
  ServiceReferenceU GetServiceReference(const std::string& clazz);

  template <class S>
  ServiceReference<S> GetServiceReference() {
    return GetServiceReference(us_service_interface_iid<S>());
  }

  // The interface map of the referenced service; null once it is withdrawn.
  InterfaceMapConstPtr GetService(const ServiceReferenceU& reference);

  template <class S>
  std::shared_ptr<S> GetService(const ServiceReference<S>& reference) {
    return ExtractInterface<S>(GetService(ServiceReferenceU(reference)));
  }

 private:
  explicit BundleContext(std::shared_ptr<BundleContextPrivate> context);
  BundleContextPrivate& requireValid() const;

  friend US_Framework_EXPORT BundleContext MakeBundleContext(BundleContextPrivate* context);
  friend US_Framework_EXPORT std::shared_ptr<BundleContextPrivate> GetPrivate(
      const BundleContext& context);
  friend class CoreContext;
  friend class Bundle;

  std::shared_ptr<BundleContextPrivate> d_;
};

// The context behind the pointer the framework hands to a bundle's library.
US_Framework_EXPORT BundleContext MakeBundleContext(BundleContextPrivate* context);
US_Framework_EXPORT std::shared_ptr<BundleContextPrivate> GetPrivate(const BundleContext& context);

}  // namespace cppmicroservices
