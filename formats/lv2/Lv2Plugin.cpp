#include "formats/lv2/Lv2Plugin.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "instrument/DrumNotes.h"
#include "instrument/ParameterTable.h"

namespace zvx::lv2 {
namespace {

constexpr std::size_t kStateSize = BankImage::kSize + 4;  // the bank, then the program (little-endian)

}  // namespace

Lv2Plugin::Lv2Plugin(double sampleRate, LV2_URID_Map& map)
    : midiEvent_(map.map(map.handle, LV2_MIDI__MidiEvent)),
      chunkType_(map.map(map.handle, LV2_ATOM__Chunk)),
      bankKey_(map.map(map.handle, kBankStateUri)),
      programKey_(map.map(map.handle, kProgramStateUri)),
      intType_(map.map(map.handle, LV2_ATOM__Int)),
      longType_(map.map(map.handle, LV2_ATOM__Long)),
      beatTime_(map.map(map.handle, LV2_ATOM__beatTime)),
      instrument_(*this, sampleRate) {
  instrument_.start();
  instrument_.setSampleRate(sampleRate);
  // A port is news when it moves away from what the instrument plays: the
  // description's defaults are the first program's, which a fresh instance
  // plays, so a preset's value equal to it is no change either.
  for (int p = 0; p < kNumParameters; ++p) lastSeen_[p] = instrument_.parameter(p);
  for (auto& changed : changed_) changed.store(false, std::memory_order_relaxed);
}

void Lv2Plugin::connectPort(uint32_t port, void* data) {
  if (port == kMidiInPort) {
    midiIn_ = static_cast<const LV2_Atom_Sequence*>(data);
  } else if (port >= kFirstOutputPort && port < kFirstParameterPort) {
    outputs_[port - kFirstOutputPort] = static_cast<float*>(data);
  } else if (port >= kFirstParameterPort && port < kPortCount) {
    parameterPorts_[port - kFirstParameterPort] = static_cast<const float*>(data);
  }
}

void Lv2Plugin::deactivate() {
  if (instrument_.messagesWaiting()) instrument_.showWaitingMessages();
}

void Lv2Plugin::applyChangedPorts() {
  applyingPorts_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  for (int p = 0; p < kNumParameters; ++p) {
    const float* port = parameterPorts_[p];
    if (!port) continue;
    const float value = *port;
    // Bit for bit, so a NaN the host sends is applied once, not every block.
    if (std::memcmp(&value, &lastSeen_[p], sizeof value) == 0) continue;
    lastSeen_[p] = value;
    instrument_.setParameter(p, value);
  }
  applyingPorts_.store(std::thread::id(), std::memory_order_relaxed);
}

void Lv2Plugin::resync(Resync how) {
  for (int p = 0; p < kNumParameters; ++p) {
    const float* port = parameterPorts_[p];
    if (how == Resync::Program) lastSeen_[p] = instrument_.parameter(p);
    else if (port) lastSeen_[p] = *port;
  }
}

// Any thread; lock-free, for the audio thread's learned controllers.
void Lv2Plugin::parameterChanged(int index, float /*value*/) {
  if (index < 0 || index >= kNumParameters) return;  // the pads
  if (applyingPorts_.load(std::memory_order_relaxed) == std::this_thread::get_id()) return;
  changed_[static_cast<std::size_t>(index)].store(true, std::memory_order_relaxed);
}

bool Lv2Plugin::takeChange(int index) {
  if (index < 0 || index >= kNumParameters) return false;
  return changed_[static_cast<std::size_t>(index)].exchange(false, std::memory_order_relaxed);
}

void Lv2Plugin::run(uint32_t frames) {
  for (float* output : outputs_)
    if (!output) return;
  // Ports applied here are the audio thread's, as the events and the render are.
  Instrument::Processing scope(instrument_);
  // While a restore is under way the ports wait: a preset's values must not
  // land in the program it is about to leave.
  if (restoring_.load(std::memory_order_acquire) == 0) {
    if (const int how = resyncPending_.exchange(static_cast<int>(Resync::None), std::memory_order_acq_rel))
      resync(static_cast<Resync>(how));
    applyChangedPorts();
  }
  events_.reset(midiIn_, midiEvent_, beatTime_);
  for (float* output : outputs_) std::memset(output, 0, frames * sizeof(float));
  instrument_.render(outputs_.data(), static_cast<int>(frames), events_);
  events_.reset(nullptr, midiEvent_, beatTime_);
}

void Lv2Plugin::Events::reset(const LV2_Atom_Sequence* sequence, LV2_URID midiEvent, LV2_URID beatTime) {
  sequence_ = sequence;
  midiEvent_ = midiEvent;
  count_ = 0;
  cursorIndex_ = -1;
  cursor_ = nullptr;
  // Events stamped in beats cannot be placed without the host's tempo and
  // position, which we do not ask for; hosts that play instruments stamp in
  // frames (unit 0 or atom:frameTime). Such a sequence is passed over whole
  // rather than played at the wrong frames.
  if (sequence && beatTime != 0 && sequence->body.unit == beatTime) sequence_ = sequence = nullptr;
  if (!sequence) return;
  LV2_ATOM_SEQUENCE_FOREACH(sequence, event) {
    (void)event;
    ++count_;
  }
}

bool Lv2Plugin::Events::at(int index, MidiEvent& event) const {
  if (!sequence_ || index < 0 || index >= count_) return false;
  if (cursorIndex_ < 0 || index < cursorIndex_) {
    cursor_ = lv2_atom_sequence_begin(&sequence_->body);
    cursorIndex_ = 0;
  }
  while (cursorIndex_ < index) {
    cursor_ = lv2_atom_sequence_next(cursor_);
    ++cursorIndex_;
  }
  // Frame times; a host stamping other units gets its events at the block's start.
  event.deltaFrames = static_cast<int>(cursor_->time.frames);
  const uint32_t size = cursor_->body.size;
  const auto* bytes = reinterpret_cast<const char*>(LV2_ATOM_BODY_CONST(&cursor_->body));
  // System exclusive and other long messages are passed over, as other kinds of events are.
  event.isMidi = cursor_->body.type == midiEvent_ && size >= 1 && size <= 3;
  std::memset(event.data, 0, sizeof event.data);
  if (event.isMidi) std::memcpy(event.data, bytes, size);
  return true;
}

// ---------------------------------------------------------------------------
// State: the bank chunk the VST module saves, and the program.

LV2_State_Status Lv2Plugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
  void* bank = nullptr;
  const std::size_t size = instrument_.saveChunk(&bank, false);
  std::vector<unsigned char> state(static_cast<const unsigned char*>(bank),
                                   static_cast<const unsigned char*>(bank) + size);
  const auto program = static_cast<std::uint32_t>(instrument_.program());
  for (int b = 0; b < 4; ++b) state.push_back(static_cast<unsigned char>(program >> (8 * b)));
  if (instrument_.messagesWaiting()) instrument_.showWaitingMessages();
  return store(handle, bankKey_, state.data(), state.size(), chunkType_,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

// A session's state is the bank and its program; a preset's, only the
// program to select (as a host's program change does), every other program
// left as it is.
LV2_State_Status Lv2Plugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
  struct Restoring {
    std::atomic<int>& count;
    explicit Restoring(std::atomic<int>& c) : count(c) { count.fetch_add(1, std::memory_order_acq_rel); }
    ~Restoring() { count.fetch_sub(1, std::memory_order_acq_rel); }
  } restoring(restoring_);
  std::size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  const void* data = retrieve(handle, bankKey_, &size, &type, &flags);
  if (!data) return restoreProgram(retrieve, handle) ? LV2_STATE_SUCCESS : LV2_STATE_ERR_NO_PROPERTY;
  if (type != chunkType_) return LV2_STATE_ERR_BAD_TYPE;
  if (size != kStateSize) return LV2_STATE_ERR_UNKNOWN;
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::uint32_t program = 0;
  for (int b = 0; b < 4; ++b) program |= static_cast<std::uint32_t>(bytes[BankImage::kSize + b]) << (8 * b);
  instrument_.loadChunk(bytes, BankImage::kSize, false);
  if (program < static_cast<std::uint32_t>(Instrument::kNumPrograms)) instrument_.setProgram(static_cast<int>(program));
  resyncPending_.store(static_cast<int>(Resync::Ports), std::memory_order_release);
  if (instrument_.messagesWaiting()) instrument_.showWaitingMessages();
  return LV2_STATE_SUCCESS;
}

bool Lv2Plugin::restoreProgram(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
  std::size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  const void* data = retrieve(handle, programKey_, &size, &type, &flags);
  if (!data) return false;
  long long program = -1;
  if (type == intType_ && size == sizeof(std::int32_t)) {
    std::int32_t value;
    std::memcpy(&value, data, sizeof value);
    program = value;
  } else if (type == longType_ && size == sizeof(std::int64_t)) {
    std::int64_t value;
    std::memcpy(&value, data, sizeof value);
    program = value;
  }
  if (program < 0 || program >= Instrument::kNumPrograms) return false;
  instrument_.setProgram(static_cast<int>(program));
  resyncPending_.store(static_cast<int>(Resync::Program), std::memory_order_release);
  if (instrument_.messagesWaiting()) instrument_.showWaitingMessages();
  return true;
}

// Ardour tells instances apart by the model's name.
std::string Lv2Plugin::noteModel() const {
  char model[48];
  std::snprintf(model, sizeof model, "ZVX:%p", static_cast<const void*>(this));
  return model;
}

std::string Lv2Plugin::noteNames() const {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE MIDINameDocument PUBLIC \"-//MIDI Manufacturers Association//DTD MIDINameDocument 1.0//EN\" "
      "\"http://www.midi.org/dtds/MIDINameDocument10.dtd\">\n"
      "<MIDINameDocument>\n  <Author>zvx.audio</Author>\n  <MasterDeviceNames>\n"
      "    <Manufacturer>zvx.audio</Manufacturer>\n    <Model>" +
      noteModel() + "</Model>\n    <CustomDeviceMode Name=\"Default\">\n      <ChannelNameSetAssignments>\n";
  for (int channel = 1; channel <= 16; ++channel)
    xml += "        <ChannelNameSetAssign Channel=\"" + std::to_string(channel) + "\" NameSet=\"Kit\"/>\n";
  xml += "      </ChannelNameSetAssignments>\n    </CustomDeviceMode>\n    <ChannelNameSet Name=\"Kit\">\n"
         "      <AvailableForChannels>\n";
  for (int channel = 1; channel <= 16; ++channel)
    xml += "        <AvailableChannel Channel=\"" + std::to_string(channel) + "\" Available=\"true\"/>\n";
  xml += "      </AvailableForChannels>\n      <UsesNoteNameList Name=\"Drums\"/>\n"
         "      <PatchBank Name=\"ZVX\">\n        <PatchNameList>\n"
         "          <Patch Number=\"0\" Name=\"ZVX Drum Kit\" ProgramChange=\"0\"/>\n"
         "        </PatchNameList>\n      </PatchBank>\n    </ChannelNameSet>\n"
         "    <NoteNameList Name=\"Drums\">\n";
  for (const DrumNote& drum : kDrumNotes)
    xml += "      <Note Number=\"" + std::to_string(drum.note) + "\" Name=\"" + drum.name + "\"/>\n";
  xml += "    </NoteNameList>\n  </MasterDeviceNames>\n</MIDINameDocument>\n";
  return xml;
}

}  // namespace zvx::lv2
