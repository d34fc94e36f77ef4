#include "editor/DrumEditor.h"

#include "editor/AboutSplash.h"
#include "editor/MidiLearnControl.h"
#include "editor/NoteDisplay.h"
#include "editor/ProgramControls.h"
#include "engine/Parameters.h"
#include "skin/SkinDocument.h"

namespace zvx {

DrumEditor::DrumEditor(InstrumentControl& instrument) : SkinEditor(instrument) { instrument.setLearnHook(this); }

DrumEditor::~DrumEditor() {
  instrument.setLearnHook(nullptr);
  // Closed here, while this class is whole, rather than by the base.
  DrumEditor::close();
}

std::unique_ptr<FrameEditor> DrumEditor::create(InstrumentControl& instrument) {
  return std::make_unique<DrumEditor>(instrument);
}

bool DrumEditor::open(void* ptr) {
  programMenu_ = nullptr;
  if (!SkinEditor::open(ptr)) return false;
  showProgram();
  armed_.store(-1, std::memory_order_relaxed);
  layLearnControls();
  return true;
}

void DrumEditor::close() {
  // A controller arriving after this must not bind to a control that is gone.
  armed_.store(-1, std::memory_order_relaxed);
  programMenu_ = nullptr;
  SkinEditor::close();
}

// Over every view of each parameter, in parameter order, so the learn layer
// sits above all skin views; the view count is read again as it grows.
void DrumEditor::layLearnControls() {
  if (!frame) return;
  const long parameters = numParams();
  for (long p = 0; p < parameters; ++p) {
    for (long i = 0; i < frame->getNbViews(); ++i) {
      auto* control = dynamic_cast<CControl*>(frame->getView(i));
      if (control && control->getTag() == p) frame->addView(new MidiLearnControl(control, this, instrument));
    }
  }
}

void DrumEditor::idle() {
  showProgram();
  SkinEditor::idle();
  // The lights are drawn at once rather than at the next idle.
  if (updateLights() && frame) frame->idle();
}

// A hit keeps the voice's light on for its limit of idle calls, counted from
// the first hit; the indicator is cleared when the light goes off.
bool DrumEditor::updateLights() {
  bool changed = false;
  for (int voice = 0; voice < 4; ++voice) {
    const long tag = param::kFirstPad + voice;
    int& counter = lightCounters_[static_cast<std::size_t>(voice)];
    if (instrument.triggerIndicator(voice)) {
      ++counter;
      setIndicator(tag, 1.0f);
      changed = true;
    }
    if (counter > kLightLimits[static_cast<std::size_t>(voice)]) {
      counter = 0;
      setIndicator(tag, 0.0f);
      instrument.clearTriggerIndicator(voice);
      changed = true;
    }
  }
  return changed;
}

// The host, a chunk or the editor may have chosen or renamed the program.
void DrumEditor::showProgram() {
  if (!programMenu_) return;
  const int program = instrument.program();
  programMenu_->show(program, instrument.programName(program).c_str());
}

// As a host selects a program: the plug-in applies it and tells the host.
void DrumEditor::selectProgram(long program) {
  const long count = instrument.programCount();
  instrument.selectProgram(static_cast<int>(((program % count) + count) % count));
  showProgram();
}

void DrumEditor::setIndicator(long tag, float value) {
  if (!frame || tag < param::kFirstPad || tag > param::kLastPad) return;
  for (long i = 0; i < frame->getNbViews(); ++i) {
    auto* control = dynamic_cast<CControl*>(frame->getView(i));
    if (control && control->getTag() == tag) {
      control->setValue(value);
      control->setDirty(true);
    }
  }
}

void DrumEditor::otherControlChanged(CDrawContext* /*context*/, CControl* control) {
  const long tag = control->getTag();
  const float value = control->getValue();
  if (tag >= MidiLearnControl::kTagBit && tag < MidiLearnControl::kTagBit + numParams()) {
    if (value == MidiLearnControl::kLearn) armed_.store(tag - MidiLearnControl::kTagBit, std::memory_order_relaxed);
  } else if (tag >= param::kFirstPad && tag <= param::kLastPad) {
    instrument.setParameter(static_cast<int>(tag), value);  // the voice's trigger pad
  } else if (tag == ProgramMenu::kTag && programMenu_ && control == programMenu_) {
    selectProgram(programMenu_->getCurrent());
  } else if (tag == ProgramStepButton::kPreviousTag && value == 1.0f) {
    selectProgram(instrument.program() - 1);
  } else if (tag == ProgramStepButton::kNextTag && value == 1.0f) {
    selectProgram(instrument.program() + 1);
  }
}

void DrumEditor::learnController(const char* midiData) {
  if ((static_cast<unsigned char>(midiData[0]) & 0xF0) != 0xB0) return;
  const long parameter = armed_.exchange(-1, std::memory_order_relaxed);
  if (parameter >= 0) instrument.bindController(static_cast<int>(parameter), static_cast<unsigned char>(midiData[1]));
}

CSplashScreen* DrumEditor::createAboutSplash(const CRect& clickArea, long tag, CBitmap* picture,
                                             const CRect& displayArea) {
  return new AboutSplash(clickArea, this, tag, picture, displayArea);
}

int DrumEditor::createObject(const char* tagName, AttrSet& attrs, SkinContext& context) {
  const int result = SkinEditor::createObject(tagName, attrs, context);
  return result == -1 ? buildElement(instrumentRows(), *this, tagName, attrs, context) : result;
}

std::vector<const SkinElementKind*> DrumEditor::catalogue() {
  std::vector<const SkinElementKind*> kinds;
  appendKinds(kinds, skinElementRows());
  appendKinds(kinds, instrumentRows());
  return kinds;
}

namespace {

// Kept so that older skins load; it builds nothing.
int buildPluckDisplay(DrumEditor& /*editor*/, ElementReader& read) {
  double x, y, w, h, id;
  CBitmap* unused = nullptr;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}, {"id", &id}}) ||
      !read.optionalBitmap("bitmap_bk", unused))
    return 0;
  return 1;
}

// Each number whole first: the right edge is the whole left plus the whole width.
CRect truncatedRect(double x, double y, double w, double h) {
  const int left = truncated(x), top = truncated(y);
  return CRect(left, top, left + truncated(w), top + truncated(h));
}

}  // namespace

const std::vector<SkinElementRow<DrumEditor>>& DrumEditor::instrumentRows() {
  using Use = SkinElementUse;
  static const std::vector<SkinElementRow<DrumEditor>> rows = {
      {{"PresetsDisplay",
        "the program line: the program's number and name in a menu of all programs, its ends the previous and "
        "next buttons when it is at least three times as long as high",
        Use::Feature,
        attributeList({boxAttributes(), {{"fontcolor", nullptr, "the text's colour, RRGGBB"}},
                       textAttributes()})},
       buildPresetsDisplay},
      {{"NoteDisplay", "the note the instrument follows: OFF, a note's name and octave, or Chord", Use::Unfed,
        attributeList({boxAttributes(),
                       {{"id", nullptr, "its tag"},
                        {"fontcolor", nullptr, "the text's colour, RRGGBB (white when it cannot be read)"},
                        {"backcolor", nullptr, "the colour behind the text (black when it cannot be read)"}}})},
       buildNoteDisplay},
      {{"PluckDisplay", "kept so that older skins load: it is read and builds nothing", Use::Unfed,
        attributeList({boxAttributes(), {{"id", nullptr, "its tag"}, {"bitmap_bk", "none", "read, not drawn"}}})},
       buildPluckDisplay},
  };
  return rows;
}

int DrumEditor::buildNoteDisplay(DrumEditor& editor, ElementReader& read) {
  double x, y, w, h, id;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}, {"id", &id}})) return 0;
  CColor font{255, 255, 255, 255}, back{0, 0, 0, 255};
  if (!read.colour("fontcolor", font) || !read.colour("backcolor", back) || !editor.frame) return 0;
  editor.frame->addView(new NoteDisplay(truncatedRect(x, y, w, h), &editor, truncated(id), &editor.noteValue_,
                                        &editor.noteMode_, back, font));
  return 1;
}

int DrumEditor::buildPresetsDisplay(DrumEditor& editor, ElementReader& read) {
  double x, y, w, h;
  std::string colour;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}}) || !read.text("fontcolor", colour, false) ||
      !editor.frame)
    return 0;
  return editor.addProgramLine(truncatedRect(x, y, w, h), read);
}

// The program's number and name in a menu, with an arrow button at each end
// when the line is at least three times as long as it is high.
int DrumEditor::addProgramLine(const CRect& line, ElementReader& read) {
  const CCoord h = line.height();
  const bool arrows = line.width() >= 3 * h;
  CRect menuRect = line;
  if (arrows) {
    menuRect.left += h + 2;
    menuRect.right -= h + 2;
  }
  auto* menu = new ProgramMenu(menuRect, this, instrument.programCount(),
                               [this](long program) { return instrument.programName(static_cast<int>(program)); });
  read.font(*this, menu);
  frame->addView(menu);
  programMenu_ = menu;
  if (arrows) {
    frame->addView(new ProgramStepButton(CRect(line.left, line.top, line.left + h, line.bottom), this,
                                         ProgramStepButton::kPreviousTag));
    frame->addView(new ProgramStepButton(CRect(line.right - h, line.top, line.right, line.bottom), this,
                                         ProgramStepButton::kNextTag));
  }
  return 1;
}

}  // namespace zvx
