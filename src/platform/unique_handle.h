// One owner template for every handle kind of the platform layer. The
// traits name the invalid value and how a handle is released; the owner
// releases it exactly once.
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

}  // namespace zc
