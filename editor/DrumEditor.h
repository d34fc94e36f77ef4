// The drum instrument's editor: the skin editor plus the instrument's own
// skin elements, the voices' trigger lights and pads, MIDI learn over every
// parameter control, and the about box with the credits.
//
// Threads: like SkinEditor, everything runs on the host's GUI thread except
// learnController, which the plug-in calls on its audio thread; the two
// share only the armed parameter and the learn map, both atomic.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "editor/SkinEditor.h"
#include "instrument/InstrumentControl.h"
#include "skin/SkinCatalogue.h"

namespace zvx {

class ProgramMenu;

class DrumEditor : public SkinEditor, public LearnHook {
 public:
  // Idle calls a light stays on after a hit, less one, per voice.
  static constexpr std::array<int, 4> kLightLimits = {2, 4, 6, 4};

  explicit DrumEditor(InstrumentControl& instrument);
  ~DrumEditor() override;

  // The front doors' editor factory.
  static std::unique_ptr<FrameEditor> create(InstrumentControl& instrument);
  // Every kind of element its skin may hold: the skin system's, then the instrument's.
  static std::vector<const SkinElementKind*> catalogue();

  bool open(void* ptr) override;
  void close() override;
  void idle() override;
  void otherControlChanged(CDrawContext* context, CControl* control) override;
  int createObject(const char* tagName, AttrSet& attrs, SkinContext& context) override;
  CSplashScreen* createAboutSplash(const CRect& clickArea, long tag, CBitmap* picture,
                                   const CRect& displayArea) override;

  // Sets every light (or pad) view with that tag; nothing while closed.
  void setIndicator(long tag, float value);

  // Audio thread: a controller message binds the armed parameter to it.
  void learnController(const char* midiData) override;
  // The parameter waiting for a controller, or -1.

 private:
  // The instrument's own element kinds.
  static const std::vector<SkinElementRow<DrumEditor>>& instrumentRows();
  static int buildNoteDisplay(DrumEditor& editor, ElementReader& read);
  static int buildPresetsDisplay(DrumEditor& editor, ElementReader& read);
  int addProgramLine(const CRect& line, ElementReader& read);
  void showProgram();
  void selectProgram(long program);
  void layLearnControls();
  bool updateLights();

  ProgramMenu* programMenu_ = nullptr;  // the program line's menu, when the skin has one
  std::atomic<long> armed_{-1};
  std::int8_t noteValue_ = 0;
  std::int32_t noteMode_ = 0;
  std::array<int, 4> lightCounters_{};
};

}  // namespace zvx
