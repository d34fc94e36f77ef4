// What the bundle's UI reaches of the plug-in instance it shows. The host
// hands the UI the instance (instance access) and the plug-in's extension
// data (data access); through these the UI takes the instrument's controls,
// and learns which parameters changed inside the instrument so that it can
// write them to the host's ports.
//
// The UI lives in a binary of its own: it calls only through these function
// pointers and InstrumentControl's virtual functions, so the plug-in's code
// (and its process-wide learn map) is the one that runs.
#pragma once

#include <lv2/core/lv2.h>

#include "instrument/InstrumentControl.h"

namespace zvx::lv2 {

inline constexpr const char* kInstanceAccessUri = "https://zvx.audio/lv2/zvx#instanceAccess";

struct InstanceAccess {
  InstrumentControl* (*control)(LV2_Handle instance);
  // GUI thread: whether the parameter changed inside the instrument (its
  // editor, a program, a learned controller; not its port) since the last
  // call. Clears the mark.
  bool (*takeChange)(LV2_Handle instance, int index);
};

}  // namespace zvx::lv2
