// The host's side of a controller's edits: records every call (what, which
// parameter, what value, on which thread) for the tests to read. Any thread
// may call it; the record is guarded by a mutex, so a call from the audio
// thread shows in the real-time probe as the lock it is.
#pragma once

#include <mutex>
#include <thread>
#include <vector>

#include "vst3host/HostObject.h"

namespace zvx::vst3host {

class ComponentHandler final : public HostObject<vst3::IComponentHandler, vst3::IUnitHandler> {
 public:
  enum class Kind { BeginEdit, PerformEdit, EndEdit, Restart, UnitSelection, ProgramListChange };
  struct Call {
    Kind kind;
    vst3::ParamID id = 0;         // the parameter edited; the unit or program list of a unit notice
    vst3::ParamValue value = 0.0;  // PerformEdit's value
    vst3::int32 flags = 0;         // Restart's flags; the program of a program list change
    std::thread::id thread;
  };

  vst3::tresult ZVX_VST3_API beginEdit(vst3::ParamID id) override;
  vst3::tresult ZVX_VST3_API performEdit(vst3::ParamID id, vst3::ParamValue valueNormalized) override;
  vst3::tresult ZVX_VST3_API endEdit(vst3::ParamID id) override;
  vst3::tresult ZVX_VST3_API restartComponent(vst3::int32 flags) override;
  vst3::tresult ZVX_VST3_API notifyUnitSelection(vst3::UnitID unitId) override;
  vst3::tresult ZVX_VST3_API notifyProgramListChange(vst3::ProgramListID listId, vst3::int32 programIndex) override;

  // The calls since the last take; take also forgets them.
  std::vector<Call> calls() const;
  std::vector<Call> take();
  // Whether a restartComponent since the last take asked for all of `flags`.
  bool restartedWith(vst3::int32 flags) const;

 private:
  void record(Kind kind, vst3::ParamID id, vst3::ParamValue value = 0.0, vst3::int32 flags = 0);

  mutable std::mutex mutex_;
  std::vector<Call> calls_;
};

}  // namespace zvx::vst3host
