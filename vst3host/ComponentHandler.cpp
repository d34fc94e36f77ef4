#include "vst3host/ComponentHandler.h"

#include <utility>

namespace zvx::vst3host {

void ComponentHandler::record(Kind kind, vst3::ParamID id, vst3::ParamValue value, vst3::int32 flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back({kind, id, value, flags, std::this_thread::get_id()});
}

vst3::tresult ComponentHandler::beginEdit(vst3::ParamID id) {
  record(Kind::BeginEdit, id);
  return vst3::kResultOk;
}

vst3::tresult ComponentHandler::performEdit(vst3::ParamID id, vst3::ParamValue valueNormalized) {
  record(Kind::PerformEdit, id, valueNormalized);
  return vst3::kResultOk;
}

vst3::tresult ComponentHandler::endEdit(vst3::ParamID id) {
  record(Kind::EndEdit, id);
  return vst3::kResultOk;
}

vst3::tresult ComponentHandler::restartComponent(vst3::int32 flags) {
  record(Kind::Restart, 0, 0.0, flags);
  return vst3::kResultOk;
}

vst3::tresult ComponentHandler::notifyUnitSelection(vst3::UnitID unitId) {
  record(Kind::UnitSelection, static_cast<vst3::ParamID>(unitId));
  return vst3::kResultOk;
}

vst3::tresult ComponentHandler::notifyProgramListChange(vst3::ProgramListID listId, vst3::int32 programIndex) {
  record(Kind::ProgramListChange, static_cast<vst3::ParamID>(listId), 0.0, programIndex);
  return vst3::kResultOk;
}

std::vector<ComponentHandler::Call> ComponentHandler::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<ComponentHandler::Call> ComponentHandler::take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(calls_, {});
}

bool ComponentHandler::restartedWith(vst3::int32 flags) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Call& call : calls_)
    if (call.kind == Kind::Restart && (call.flags & flags) == flags) return true;
  return false;
}

}  // namespace zvx::vst3host
