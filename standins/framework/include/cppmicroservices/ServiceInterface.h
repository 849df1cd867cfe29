#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>

#include "cppmicroservices/FrameworkExport.h"

namespace cppmicroservices {

// A service object as the registry holds it: one pointer per interface id,
// each pointing at the object's subobject of that interface.
using InterfaceMap = std::unordered_map<std::string, std::shared_ptr<void>>;
using InterfaceMapPtr = std::shared_ptr<InterfaceMap>;
using InterfaceMapConstPtr = std::shared_ptr<const InterfaceMap>;

namespace detail {
// The fully qualified, demangled name of a type.
US_Framework_EXPORT std::string GetDemangledName(const std::type_info& type);
}  // namespace detail

// The id under which services of interface T are registered and found. The
// name is computed once per interface.
template <class T>
std::string us_service_interface_iid() {
  static const std::string iid = detail::GetDemangledName(typeid(T));
  return iid;
}

template <class I1, class... Interfaces, class Impl>
InterfaceMapPtr MakeInterfaceMap(const std::shared_ptr<Impl>& impl) {
  static_assert((std::is_base_of_v<I1, Impl> && ... && std::is_base_of_v<Interfaces, Impl>),
                "the service object must implement every interface it is registered for");
  auto map = std::make_shared<InterfaceMap>();
  map->emplace(us_service_interface_iid<I1>(), std::static_pointer_cast<I1>(impl));
  (map->emplace(us_service_interface_iid<Interfaces>(), std::static_pointer_cast<Interfaces>(impl)),
   ...);
  return map;
}

// The pointer registered for interface I, or null.
template <class I>
std::shared_ptr<I> ExtractInterface(const InterfaceMapConstPtr& map) {
  if (!map) return nullptr;
  auto it = map->find(us_service_interface_iid<I>());
  if (it == map->end()) return nullptr;
  return std::static_pointer_cast<I>(it->second);
}

}  // namespace cppmicroservices
