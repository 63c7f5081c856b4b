// One owner template for every handle kind of the platform layer. The
// traits name the invalid value and how a handle is released; the owner
// releases it exactly once. A handle that a platform service hands out is
// released through that service: ServiceHandle makes its owner from the
// service's close call, one alias per kind.
#pragma once

#include <utility>

namespace zc {

template <typename Traits>
class UniqueHandle {
 public:
  using Value = typename Traits::Value;

  UniqueHandle() = default;
  explicit UniqueHandle(Traits traits) : traits_(std::move(traits)) {}
  UniqueHandle(Traits traits, Value value) : traits_(std::move(traits)), value_(value) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept
      : traits_(std::move(other.traits_)), value_(std::exchange(other.value_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      traits_ = std::move(other.traits_);
      value_ = std::exchange(other.value_, Traits::Invalid());
    }
    return *this;
  }

  Value get() const { return value_; }
  explicit operator bool() const { return !(value_ == Traits::Invalid()); }

  // For out-parameters: releases what is held and hands out the slot.
  Value* put() {
    reset();
    return &value_;
  }

  void reset() {
    if (!(value_ == Traits::Invalid())) {
      traits_.Close(value_);
      value_ = Traits::Invalid();
    }
  }

  Value release() { return std::exchange(value_, Traits::Invalid()); }

 private:
  Traits traits_{};
  Value value_ = Traits::Invalid();
};

// Traits of a handle of type `Value` (invalid: Value{}) that `Service`
// opened and releases with its member `Close`.
template <typename Service, typename Value_, auto Close_>
struct ServiceHandleTraits {
  using Value = Value_;
  Service* service = nullptr;
  static Value Invalid() { return Value{}; }
  void Close(Value handle) const {
    if (service) (service->*Close_)(handle);
  }
};

template <typename Service, typename Value, auto Close>
class ServiceHandle : public UniqueHandle<ServiceHandleTraits<Service, Value, Close>> {
 public:
  explicit ServiceHandle(Service& service)
      : UniqueHandle<ServiceHandleTraits<Service, Value, Close>>(ServiceHandleTraits<Service, Value, Close>{&service}) {
  }
};

}  // namespace zc
