#pragma once

#include <string>

namespace cppmicroservices {

// A bundle's shared library, opened for as long as this object lives.
//
// It is opened with RTLD_NODELETE, so closing it never unmaps its code: the
// framework cannot know when the last object made by a bundle is gone (the
// host may keep a service object, a std::function or a thread-exit handler
// whose code lives in the library after the bundle was stopped), and running
// into unmapped code would crash the host. Stopping a bundle therefore relies
// on the bundle ending its own threads when its objects are destroyed.
class BundleLibrary {
 public:
  // Throws std::runtime_error with the loader's message.
  explicit BundleLibrary(const std::string& path);
  ~BundleLibrary();

  BundleLibrary(const BundleLibrary&) = delete;
  BundleLibrary& operator=(const BundleLibrary&) = delete;

  // The address of the exported symbol name; throws std::runtime_error when
  // the library does not export it.
  void* symbol(const std::string& name) const;

  template <class Function>
  Function function(const std::string& name) const {
    return reinterpret_cast<Function>(symbol(name));
  }

 private:
  std::string path_;
  void* handle_;
};

}  // namespace cppmicroservices
