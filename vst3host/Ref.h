// A counted reference to a VST 3 object: released when it goes, so a host
// never leaks the references queryInterface and createInstance hand it.
#pragma once

#include <utility>

#include "formats/vst3/Vst3Abi.h"

namespace zvx::vst3host {

template <class T>
class Ref {
 public:
  Ref() = default;
  // Takes over a reference the caller already holds (what createInstance,
  // queryInterface and our own `make` give).
  static Ref adopt(T* object) {
    Ref ref;
    ref.object_ = object;
    return ref;
  }
  // Shares an object someone else holds: adds a reference.
  static Ref share(T* object) {
    if (object) object->addRef();
    return adopt(object);
  }
  Ref(const Ref& other) : object_(other.object_) {
    if (object_) object_->addRef();
  }
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Ref() { reset(); }

  // Releases the reference now; what release answered (the references left), or 0 when empty.
  vst3::uint32 reset() { return object_ ? std::exchange(object_, nullptr)->release() : 0; }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

// `object`'s interface I, or empty when it does not answer for it.
template <class I, class T>
Ref<I> query(T* object) {
  void* answer = nullptr;
  if (!object || object->queryInterface(I::iid.data(), &answer) != vst3::kResultOk || !answer) return {};
  return Ref<I>::adopt(static_cast<I*>(answer));
}

}  // namespace zvx::vst3host
