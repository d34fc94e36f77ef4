// The host context a plug-in is initialised with: its name, and no objects to
// create (a single-component plug-in needs no messages between its halves).
// Counts what it was asked for, so tests see what a plug-in expects of hosts.
#pragma once

#include <atomic>

#include "vst3host/HostObject.h"

namespace zvx::vst3host {

class HostApplication final : public HostObject<vst3::IHostApplication> {
 public:
  static constexpr const char* kName = "ZVX test host";

  vst3::tresult ZVX_VST3_API getName(vst3::String128 name) override;
  vst3::tresult ZVX_VST3_API createInstance(vst3::TUID cid, vst3::TUID iid, void** object) override;

  int instancesAsked() const { return instancesAsked_.load(); }

 private:
  std::atomic<int> instancesAsked_{0};
};

}  // namespace zvx::vst3host
