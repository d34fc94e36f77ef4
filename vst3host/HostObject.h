// What every object the host hands a plug-in shares: a thread-safe reference
// count that deletes the object at zero, and queryInterface answering for
// FUnknown and for each interface listed. Made with `make`, which gives the
// first reference to the caller.
#pragma once

#include <atomic>
#include <tuple>

#include "formats/vst3/Vst3Abi.h"
#include "vst3host/Ref.h"

namespace zvx::vst3host {

template <class... Interfaces>
class HostObject : public Interfaces... {
 public:
  vst3::tresult ZVX_VST3_API queryInterface(const vst3::TUID iid, void** object) override {
    if (!object) return vst3::kInvalidArgument;
    *object = nullptr;
    if (vst3::FUnknown::iid.is(iid)) *object = static_cast<vst3::FUnknown*>(static_cast<First*>(this));
    const auto offer = [&]<class I>(I* as) {
      if (!*object && I::iid.is(iid)) *object = as;
    };
    (offer(static_cast<Interfaces*>(this)), ...);
    if (!*object) return vst3::kNoInterface;
    addRef();
    return vst3::kResultOk;
  }
  vst3::uint32 ZVX_VST3_API addRef() override { return count_.fetch_add(1) + 1; }
  vst3::uint32 ZVX_VST3_API release() override {
    const vst3::uint32 left = count_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
  }
  // The references held now, the host's own included (for leak checks).
  vst3::uint32 references() const { return count_.load(); }

 protected:
  HostObject() = default;
  virtual ~HostObject() = default;
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;

 private:
  using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
  std::atomic<vst3::uint32> count_{1};
};

// A new host object and the one reference to it.
template <class T, class... Arguments>
Ref<T> make(Arguments&&... arguments) {
  return Ref<T>::adopt(new T(std::forward<Arguments>(arguments)...));
}

}  // namespace zvx::vst3host
