#pragma once

#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "cppmicroservices/FrameworkExport.h"

namespace cppmicroservices {

namespace detail {

template <class T, class = void>
struct IsStreamable : std::false_type {};
template <class T>
struct IsStreamable<
    T, std::void_t<decltype(std::declval<std::ostream&>() << std::declval<const T&>())>>
    : std::true_type {};

template <class T>
struct IsVector : std::false_type {};
template <class T, class A>
struct IsVector<std::vector<T, A>> : std::true_type {};

template <class T>
void writeAnyValue(std::ostream& out, const T& value);

template <class T>
void writeAnyVector(std::ostream& out, const T& values) {
  out << '[';
  bool first = true;
  for (const auto& v : values) {
    if (!first) out << ',';
    first = false;
    writeAnyValue(out, v);
  }
  out << ']';
}

// Text of a stored value: streamable types as the stream writes them, vectors
// element-wise, anything else by its type name.
template <class T>
void writeAnyValue(std::ostream& out, const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    out << (value ? "true" : "false");
  } else if constexpr (IsVector<T>::value) {
    writeAnyVector(out, value);
  } else if constexpr (IsStreamable<T>::value) {
    out << value;
  } else {
    out << typeid(T).name();
  }
}

// String literals and C strings are kept as std::string so that the value
// owns its text.
template <class T>
using AnyStored = std::conditional_t<std::is_array_v<std::remove_reference_t<T>> ||
                                         std::is_same_v<std::decay_t<T>, const char*> ||
                                         std::is_same_v<std::decay_t<T>, char*>,
                                     std::string, std::decay_t<T>>;

}  // namespace detail

// A copyable value of any copyable type; the value type of service properties.
class US_Framework_EXPORT Any {
 public:
  Any() = default;

  template <class ValueType,
            class = std::enable_if_t<!std::is_same_v<std::decay_t<ValueType>, Any>>>
  Any(ValueType&& value)  // NOLINT: implicit like the value it wraps
      : content_(std::make_unique<Holder<detail::AnyStored<ValueType>>>(
            detail::AnyStored<ValueType>(std::forward<ValueType>(value)))) {}

  Any(const Any& other) : content_(other.content_ ? other.content_->clone() : nullptr) {}
  Any(Any&& other) noexcept = default;
  ~Any() = default;

  Any& operator=(const Any& other) { return *this = Any(other); }
  Any& operator=(Any&& other) noexcept = default;

  bool Empty() const { return !content_; }

  // Type of the stored value; typeid(void) when empty.
  const std::type_info& Type() const { return content_ ? content_->type() : typeid(void); }

  // Text form of the stored value; empty when nothing is stored.
  std::string ToString() const { return content_ ? content_->toString() : std::string(); }

  template <class ValueType>
  const ValueType* pointerTo() const {
    if (!content_ || content_->type() != typeid(ValueType)) return nullptr;
    return &static_cast<const Holder<ValueType>*>(content_.get())->held;
  }

 private:
  struct Placeholder {
    virtual ~Placeholder() = default;
    virtual const std::type_info& type() const = 0;
    virtual std::unique_ptr<Placeholder> clone() const = 0;
    virtual std::string toString() const = 0;
  };

  template <class ValueType>
  struct Holder final : Placeholder {
    explicit Holder(ValueType value) : held(std::move(value)) {}
    const std::type_info& type() const override { return typeid(ValueType); }
    std::unique_ptr<Placeholder> clone() const override { return std::make_unique<Holder>(held); }
    std::string toString() const override {
      std::ostringstream out;
      detail::writeAnyValue(out, held);
      return out.str();
    }
    ValueType held;
  };

  std::unique_ptr<Placeholder> content_;
};

// Raised by any_cast when the stored type is not the one asked for.
class US_Framework_EXPORT BadAnyCastException : public std::bad_cast {
 public:
  explicit BadAnyCastException(std::string msg = "cppmicroservices::BadAnyCastException")
      : msg_(std::move(msg)) {}
  const char* what() const noexcept override { return msg_.c_str(); }

 private:
  std::string msg_;
};

template <class ValueType>
const ValueType* any_cast(const Any* operand) {
  return operand ? operand->pointerTo<ValueType>() : nullptr;
}

template <class ValueType>
ValueType any_cast(const Any& operand) {
  using Stored = std::remove_cv_t<std::remove_reference_t<ValueType>>;
  const Stored* result = any_cast<Stored>(&operand);
  if (!result) {
    throw BadAnyCastException(std::string("Failed to convert from cppmicroservices::Any type ") +
                              operand.Type().name() + " to target type " + typeid(Stored).name());
  }
  return *result;
}

inline std::ostream& operator<<(std::ostream& out, const Any& any) { return out << any.ToString(); }

}  // namespace cppmicroservices
