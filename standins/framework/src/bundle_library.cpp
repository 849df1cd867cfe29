#include "bundle_library.h"

#include <dlfcn.h>

#include <stdexcept>

namespace cppmicroservices {
namespace {

// dlopen searches the library path for a bare file name; a bundle location
// is a file, so make it a path.
std::string asPath(const std::string& location) {
  return location.find('/') == std::string::npos ? "./" + location : location;
}

std::string loaderError() {
  const char* message = dlerror();
  return message ? message : "unknown loader error";
}

}  // namespace

BundleLibrary::BundleLibrary(const std::string& path)
    : path_(path),
      // RTLD_NOW: a missing symbol is reported here, as a failed start,
      // instead of ending the host at the first call that needs it.
      handle_(dlopen(asPath(path).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
  if (!handle_)
    throw std::runtime_error("Cannot load bundle library " + path + ": " + loaderError());
}

BundleLibrary::~BundleLibrary() { dlclose(handle_); }

void* BundleLibrary::symbol(const std::string& name) const {
  dlerror();
  void* address = dlsym(handle_, name.c_str());
  if (!address) {
    throw std::runtime_error("Bundle library " + path_ + " does not export " + name + ": " +
                             loaderError());
  }
  return address;
}

}  // namespace cppmicroservices
