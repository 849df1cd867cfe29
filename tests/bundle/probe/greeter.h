#pragma once

#include <string>

namespace probe {

// The service the probe bundle registers; it reports what the bundle saw.
class Greeter {
 public:
  virtual ~Greeter() = default;
  virtual std::string greet() const = 0;
  // Activators of the probe bundle that exist right now.
  virtual int liveActivators() const = 0;
  // Whether the framework had set the bundle's context pointer to the very
  // context handed to Start.
  virtual bool sawOwnContext() const = 0;
};

}  // namespace probe
