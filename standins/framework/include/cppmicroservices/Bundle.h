#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cppmicroservices/FrameworkExport.h"
#include "cppmicroservices/ServiceReference.h"

namespace cppmicroservices {

class BundleContext;
class CoreContext;
class BundlePrivate;

// A handle to one installed bundle. Copies refer to the same bundle; a
// default-constructed handle refers to none and converts to false.
class US_Framework_EXPORT Bundle {
 public:
  enum State : std::uint32_t {
    STATE_UNINSTALLED = 0x01,
    STATE_INSTALLED = 0x02,
    STATE_RESOLVED = 0x04,
    STATE_STARTING = 0x08,
    STATE_STOPPING = 0x10,
    STATE_ACTIVE = 0x20,
  };

  Bundle();
  Bundle(const Bundle&) = default;
  Bundle(Bundle&&) noexcept = default;
  Bundle& operator=(const Bundle&) = default;
  Bundle& operator=(Bundle&&) noexcept = default;
  virtual ~Bundle();

  explicit operator bool() const;
  bool operator==(const Bundle& other) const;
  bool operator!=(const Bundle& other) const { return !(*this == other); }
  bool operator<(const Bundle& other) const;

  State GetState() const;
  long GetBundleId() const;
  std::string GetSymbolicName() const;

  // The bundle's context while it is starting, active or stopping; an
  // invalid context otherwise.
  BundleContext GetBundleContext() const;

  // References to the services this bundle has registered and not withdrawn.
  std::vector<ServiceReferenceU> GetRegisteredServices() const;

  // Loads the bundle's library and runs its activator's Start. Throws
  // std::runtime_error when the library, an entry point or Start fails; the
  // bundle is then left resolved with nothing registered.
  void Start();

  // Runs the activator's Stop, withdraws the bundle's services and destroys
  // the activator.
  void Stop();

  // Stops the bundle if needed and removes it from the framework.
  void Uninstall();

 protected:
  Bundle(std::shared_ptr<CoreContext> core, std::shared_ptr<BundlePrivate> bundle);
  void requireValid() const;

  friend class BundleContext;
  friend class CoreContext;

  std::shared_ptr<CoreContext> core_;
  std::shared_ptr<BundlePrivate> d_;
};

}  // namespace cppmicroservices
