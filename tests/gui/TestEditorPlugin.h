// A small plug-in with an editor of our toolkit, for the window tests and for
// trying zvx-view: four parameters, a knob over parameter 0, an on/off button
// over parameter 1, and an option menu over parameters 2 and 3 (entry index /
// 10): "Soft", "Medium", "-", "Hard" and "More", a sub-menu of "Huge", "Tiny".
#pragma once

#include "formats/vst2/VstAbi.h"
#include "image/Surface.h"
#include "platform/Geometry.h"

class CFrame;

namespace zvx::test {

constexpr int kEditorWidth = 320;
constexpr int kEditorHeight = 200;
constexpr gui::Pixel kEditorBackground = gui::makePixel(40, 60, 90);
constexpr gui::Pixel kButtonOff = gui::makePixel(70, 70, 70);
constexpr gui::Pixel kButtonOn = gui::makePixel(240, 150, 20);

inline const CRect kKnobRect{20, 20, 100, 100};
inline const CRect kButtonRect{130, 40, 170, 80};
inline const CRect kMenuRect{180, 130, 300, 150};

AEffect* VSTCALLBACK testEditorPluginEntry(audioMasterCallback master);
// The editor's frame of a plug-in that entry made (null while closed).
CFrame* testEditorFrame(AEffect* effect);

}  // namespace zvx::test
