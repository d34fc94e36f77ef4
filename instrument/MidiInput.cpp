// MIDI intake: the host's event list is kept (not copied) and each event is
// handed to the engine before the sample where it falls. Audio thread only.
#include <algorithm>
#include <climits>

#include "instrument/Instrument.h"
#include "instrument/LearnMap.h"

namespace zvx {
namespace {

constexpr int kAllNotesOff = 123;

}  // namespace

void Instrument::receiveEvents(const MidiEventList* events) {
  if (busy_) return;
  Processing processing(*this);
  if (events && events->count() > 0) {
    pendingEvents_ = events;
    nextEvent_ = 0;
  } else {
    pendingEvents_ = nullptr;
    nextEvent_ = -1;
  }
}

// An event acts at its own frame: before sample deltaFrames + 1, counted from
// 1. (Acting before sample deltaFrames, one sample early unless it fell on a
// block's first frame, moved the same MIDI by a sample depending on where the
// host cut its blocks.) One whose time has already passed (a host sending
// events out of order) acts at once; one stamped past the block never acts.
void Instrument::dispatchEvents(int frame) {
  if (nextEvent_ < 0 || !pendingEvents_) return;
  const int count = pendingEvents_->count();
  while (nextEvent_ < count) {
    MidiEvent event;
    const bool present = pendingEvents_->at(nextEvent_, event);
    if (present && frame < actingFrame(event)) return;
    if (present && event.isMidi) handleMidiEvent(event);
    ++nextEvent_;
  }
}

int Instrument::nextEventFrame(int frame) const {
  if (nextEvent_ < 0 || !pendingEvents_ || nextEvent_ >= pendingEvents_->count()) return INT_MAX;
  MidiEvent event;
  if (!pendingEvents_->at(nextEvent_, event)) return frame;
  return std::max(actingFrame(event), frame);
}

int Instrument::actingFrame(const MidiEvent& event) {
  return event.deltaFrames > 0 ? event.deltaFrames + 1 : 1;
}

void Instrument::handleMidiEvent(const MidiEvent& event) {
  const int status = static_cast<unsigned char>(event.data[0]) & 0xF0;
  const int data1 = event.data[1] & 0x7F;
  const int data2 = event.data[2] & 0x7F;
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

void Instrument::handleController(const MidiEvent& event, int controller, float value) {
  if (learnHook_) learnHook_->learnController(event.data);
  // Every parameter bound to this controller, in ascending order.
  for (int p = 0; p < kNumParameters; ++p)
    if (learnMap().controller(p) == controller) setParameter(p, value);
  if (controller == kAllNotesOff) engine_.allNotesOff();
  engine_.enableRemap();
}

}  // namespace zvx
