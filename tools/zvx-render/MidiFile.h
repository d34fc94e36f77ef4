// A Standard MIDI File (formats 0 and 1) read into one list of channel
// messages, merged across tracks and timed through the file's tempo map.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zvx::render {

class MidiFile {
 public:
  // One channel message (note, controller, program, ...), complete with its status.
  struct Message {
    std::int64_t tick = 0;
    double seconds = 0.0;
    int track = 0;
    std::array<std::uint8_t, 3> data{};
    int size = 0;
  };

  // A message at an absolute sample position.
  struct TimedMessage {
    std::int64_t sample = 0;
    std::array<std::uint8_t, 3> data{};
    int size = 0;
  };

  struct TempoChange {
    std::int64_t tick = 0;
    std::uint32_t microsecondsPerQuarter = 500000;
  };

  // Empty with `error` set (one line, e.g. "truncated track chunk") when the
  // bytes are no MIDI file this reader understands. Never reads past the end.
  static std::optional<MidiFile> parse(std::span<const std::uint8_t> bytes, std::string& error);
  // Reads and parses a file; `error` names the problem without the path.
  static std::optional<MidiFile> load(const std::string& path, std::string& error);

  int format() const { return format_; }
  // Ticks per quarter note, or for SMPTE timing the ticks per second.
  int division() const { return division_; }

  // Channel messages of every track in time order; at equal times, file order
  // (earlier track first, then order within the track).
  const std::vector<Message>& messages() const { return messages_; }
  const std::vector<TempoChange>& tempoChanges() const { return tempoChanges_; }

  // Seconds from the start of the file to `tick`, through the tempo map.
  double secondsAt(std::int64_t tick) const;
  // The messages at sample positions for a sample rate (rounded to the nearest sample).
  std::vector<TimedMessage> messagesAt(double sampleRate) const;

 private:
  MidiFile() = default;

  int format_ = 0;
  int division_ = 480;
  double ticksPerSecond_ = 0.0;  // SMPTE timing only
  bool smpte_ = false;
  std::vector<Message> messages_;
  std::vector<TempoChange> tempoChanges_;
  std::vector<double> segmentSeconds_;  // when each tempo change takes effect
};

}  // namespace zvx::render
