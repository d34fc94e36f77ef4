// MIDI intake: the host's event block is kept (not copied) and each event is
// handed to the engine before the sample where it falls. Audio thread only.
#include <climits>

#include "plugin/DrumPlugin.h"
#include "plugin/LearnMap.h"

namespace zvx {
namespace {

constexpr int kAllNotesOff = 123;

}  // namespace

VstInt32 DrumPlugin::processEvents(VstEvents* events) {
  if (busy_) return 1;
  Processing processing(*this);
  if (events && events->numEvents > 0) {
    pendingEvents_ = events;
    nextEvent_ = 0;
  } else {
    pendingEvents_ = nullptr;
    nextEvent_ = -1;
  }
  return 1;
}

// An event acts before sample max(deltaFrames, 1); one whose time has already
// passed (a host sending events out of order) acts at once.
void DrumPlugin::dispatchEvents(int frame) {
  if (nextEvent_ < 0 || !pendingEvents_) return;
  const int count = pendingEvents_->numEvents;
  while (nextEvent_ < count) {
    const VstEvent* event = eventSlots(*pendingEvents_)[nextEvent_];
    if (event && event->deltaFrames != 0 && frame < event->deltaFrames) return;
    if (event && event->type == kVstMidiType) handleMidiEvent(*reinterpret_cast<const VstMidiEvent*>(event));
    ++nextEvent_;
  }
}

int DrumPlugin::nextEventFrame(int frame) const {
  if (nextEvent_ < 0 || !pendingEvents_ || nextEvent_ >= pendingEvents_->numEvents) return INT_MAX;
  const VstEvent* event = eventSlots(*pendingEvents_)[nextEvent_];
  if (!event || event->deltaFrames == 0 || event->deltaFrames <= frame) return frame;
  return event->deltaFrames;
}

void DrumPlugin::handleMidiEvent(const VstMidiEvent& event) {
  const int status = static_cast<unsigned char>(event.midiData[0]) & 0xF0;
  const int data1 = event.midiData[1] & 0x7F;
  const int data2 = event.midiData[2] & 0x7F;
  const float value = static_cast<float>(data2) / 127.0f;

  engine_.wakeForEvent();
  if (status == 0x90 && data2 > 0) {
    engine_.noteEvent(data1, data2, true);
    engine_.scaleSnapLevel(data2);
  } else if (status == 0x80 || status == 0x90) {
    if (engine_.holdsNote(data1)) engine_.noteEvent(data1, data2, false);
  } else if (status == 0xB0) {
    handleController(event, data1, value);
  }
}

void DrumPlugin::handleController(const VstMidiEvent& event, int controller, float value) {
  if (learnHook_) learnHook_->learnController(event.midiData);
  // Every parameter bound to this controller, in ascending order.
  for (int p = 0; p < kNumParameters; ++p)
    if (learnMap().controller(p) == controller) setParameter(p, value);
  if (controller == kAllNotesOff) engine_.allNotesOff();
  engine_.enableRemap();
}

}  // namespace zvx
