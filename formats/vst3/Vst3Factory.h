// The module's class factory: one class, the instrument, an audio module
// that is its own controller.
#pragma once

#include "formats/vst3/Vst3Abi.h"
#include "formats/vst3/Vst3Plugin.h"

namespace zvx::vst3 {

class Vst3Factory final : public IPluginFactory3 {
 public:
  static constexpr const char* kVendor = "zvx.audio";
  static constexpr const char* kUrl = "https://zvx.audio";
  static constexpr const char* kEmail = "mailto:hello@zvx.audio";
  static constexpr const char* kName = "ZVX";
  static constexpr const char* kSubCategories = "Instrument|Drum";

  explicit Vst3Factory(Vst3Plugin::EditorFactory makeEditor) : makeEditor_(makeEditor) {}

  // It lives as long as the module: references are not counted.
  tresult ZVX_VST3_API queryInterface(const TUID iid, void** object) override;
  uint32 ZVX_VST3_API addRef() override { return 1; }
  uint32 ZVX_VST3_API release() override { return 1; }

  tresult ZVX_VST3_API getFactoryInfo(PFactoryInfo* info) override;
  int32 ZVX_VST3_API countClasses() override { return 1; }
  tresult ZVX_VST3_API getClassInfo(int32 index, PClassInfo* info) override;
  tresult ZVX_VST3_API createInstance(FIDString cid, FIDString iid, void** object) override;
  tresult ZVX_VST3_API getClassInfo2(int32 index, PClassInfo2* info) override;
  tresult ZVX_VST3_API getClassInfoUnicode(int32 index, PClassInfoW* info) override;
  tresult ZVX_VST3_API setHostContext(FUnknown*) override { return kResultOk; }

 private:
  Vst3Plugin::EditorFactory makeEditor_;
};

}  // namespace zvx::vst3
