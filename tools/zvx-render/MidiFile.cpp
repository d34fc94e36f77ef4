#include "tools/zvx-render/MidiFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace zvx::render {
namespace {

// Files this big are no song; refusing them keeps a stray argument from eating memory.
constexpr long kMaxFileBytes = 64L << 20;

// Bounded big-endian reading: every read says whether the bytes were there.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t remaining() const { return bytes_.size() - position_; }
  bool atEnd() const { return position_ >= bytes_.size(); }

  bool byte(std::uint8_t& value) {
    if (atEnd()) return false;
    value = bytes_[position_++];
    return true;
  }

  bool bigEndian(int count, std::uint32_t& value) {
    if (remaining() < static_cast<std::size_t>(count)) return false;
    value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | bytes_[position_++];
    return true;
  }

  // At most four bytes (28 bits), as MIDI files allow.
  enum class Vlq { Ok, Truncated, TooLong };
  Vlq variable(std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = 0;
      if (!byte(b)) return Vlq::Truncated;
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) return Vlq::Ok;
    }
    return Vlq::TooLong;
  }

  bool take(std::size_t count, std::span<const std::uint8_t>& part) {
    if (remaining() < count) return false;
    part = bytes_.subspan(position_, count);
    position_ += count;
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

std::string hexByte(std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

struct TrackContents {
  std::vector<MidiFile::Message> messages;
  std::vector<MidiFile::TempoChange> tempoChanges;
};

bool parseTrack(std::span<const std::uint8_t> chunk, int track, TrackContents& out, std::string& error) {
  const std::string where = "track " + std::to_string(track) + ": ";
  ByteReader reader(chunk);
  std::int64_t tick = 0;
  std::uint8_t running = 0;

  auto readLength = [&](std::uint32_t& length) {
    switch (reader.variable(length)) {
      case ByteReader::Vlq::Ok:
        return true;
      case ByteReader::Vlq::Truncated:
        error = where + "event runs past the end of the track chunk";
        return false;
      case ByteReader::Vlq::TooLong:
        error = where + "variable-length quantity longer than 4 bytes";
        return false;
    }
    return false;
  };
  auto pastEnd = [&] {
    error = where + "event runs past the end of the track chunk";
    return false;
  };

  while (!reader.atEnd()) {
    std::uint32_t delta = 0;
    if (!readLength(delta)) return false;
    tick += delta;

    std::uint8_t first = 0;
    if (!reader.byte(first)) return pastEnd();

    if (first == 0xFF) {
      std::uint8_t type = 0;
      std::uint32_t length = 0;
      std::span<const std::uint8_t> data;
      if (!reader.byte(type)) return pastEnd();
      if (!readLength(length)) return false;
      if (!reader.take(length, data)) return pastEnd();
      if (type == 0x2F) break;  // end of track: anything after it is not played
      if (type == 0x51 && length == 3) {
        const std::uint32_t tempo = (std::uint32_t{data[0]} << 16) | (std::uint32_t{data[1]} << 8) | data[2];
        // A zero tempo would stop time; such an event is ignored.
        if (tempo > 0) out.tempoChanges.push_back({tick, tempo});
      }
      continue;
    }
    if (first == 0xF0 || first == 0xF7) {
      std::uint32_t length = 0;
      std::span<const std::uint8_t> data;
      if (!readLength(length)) return false;
      if (!reader.take(length, data)) return pastEnd();
      continue;
    }
    if (first >= 0xF0) {
      error = where + "unexpected status byte " + hexByte(first);
      return false;
    }

    MidiFile::Message message;
    message.tick = tick;
    message.track = track - 1;
    std::uint8_t data1 = 0;
    if (first & 0x80) {
      running = first;
      if (!reader.byte(data1)) return pastEnd();
    } else {
      if (!running) {
        error = where + "data byte " + hexByte(first) + " without a status byte";
        return false;
      }
      data1 = first;
    }
    const int kind = running & 0xF0;
    const int size = (kind == 0xC0 || kind == 0xD0) ? 2 : 3;
    message.data[0] = running;
    message.data[1] = data1;
    if (size == 3 && !reader.byte(message.data[2])) return pastEnd();
    for (int i = 1; i < size; ++i) {
      if (message.data[static_cast<std::size_t>(i)] & 0x80) {
        error =
            where + "status byte " + hexByte(message.data[static_cast<std::size_t>(i)]) + " where a data byte belongs";
        return false;
      }
    }
    message.size = size;
    out.messages.push_back(message);
  }
  return true;
}

bool printableChunkType(std::span<const std::uint8_t> type) {
  return std::all_of(type.begin(), type.end(), [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

}  // namespace

std::optional<MidiFile> MidiFile::parse(std::span<const std::uint8_t> bytes, std::string& error) {
  ByteReader reader(bytes);
  std::span<const std::uint8_t> type;
  if (!reader.take(4, type) || std::memcmp(type.data(), "MThd", 4) != 0) {
    error = "not a MIDI file (no MThd header)";
    return std::nullopt;
  }
  std::uint32_t headerLength = 0;
  if (!reader.bigEndian(4, headerLength)) {
    error = "truncated header chunk";
    return std::nullopt;
  }
  if (headerLength < 6) {
    error = "bad header chunk size " + std::to_string(headerLength);
    return std::nullopt;
  }
  std::span<const std::uint8_t> header;
  if (!reader.take(headerLength, header)) {
    error = "truncated header chunk";
    return std::nullopt;
  }

  MidiFile file;
  file.format_ = (header[0] << 8) | header[1];
  const int declaredTracks = (header[2] << 8) | header[3];
  const int division = (header[4] << 8) | header[5];
  if (file.format_ == 2) {
    error = "format 2 (independent patterns) is not supported";
    return std::nullopt;
  }
  if (file.format_ > 2) {
    error = "unknown format " + std::to_string(file.format_);
    return std::nullopt;
  }
  if (declaredTracks == 0) {
    error = "no tracks";
    return std::nullopt;
  }
  if (division & 0x8000) {
    // SMPTE: frames per second (negative, 29 meaning 29.97) and ticks per frame.
    const int frames = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
    const int ticksPerFrame = division & 0xFF;
    if ((frames != 24 && frames != 25 && frames != 29 && frames != 30) || ticksPerFrame == 0) {
      error = "bad SMPTE time division " + hexByte(static_cast<std::uint8_t>(division >> 8)) + " " +
              hexByte(static_cast<std::uint8_t>(division & 0xFF));
      return std::nullopt;
    }
    const double framesPerSecond = frames == 29 ? 30000.0 / 1001.0 : frames;
    file.smpte_ = true;
    file.ticksPerSecond_ = framesPerSecond * ticksPerFrame;
    file.division_ = frames * ticksPerFrame;
  } else {
    if (division == 0) {
      error = "bad time division 0";
      return std::nullopt;
    }
    file.division_ = division;
  }

  std::vector<Message> messages;
  std::vector<TempoChange> tempoChanges;
  int tracks = 0;
  while (tracks < declaredTracks) {
    if (reader.atEnd()) {
      error = "truncated: " + std::to_string(tracks) + " of " + std::to_string(declaredTracks) + " track chunks";
      return std::nullopt;
    }
    std::span<const std::uint8_t> chunkType;
    std::uint32_t length = 0;
    if (!reader.take(4, chunkType) || !reader.bigEndian(4, length)) {
      error = "truncated chunk header";
      return std::nullopt;
    }
    const bool isTrack = std::memcmp(chunkType.data(), "MTrk", 4) == 0;
    if (!isTrack && !printableChunkType(chunkType)) {
      error = "bad chunk type after track " + std::to_string(tracks);
      return std::nullopt;
    }
    std::span<const std::uint8_t> chunk;
    if (!reader.take(length, chunk)) {
      error = isTrack ? "truncated track chunk" : "truncated chunk";
      return std::nullopt;
    }
    if (!isTrack) continue;  // chunks of unknown kinds are skipped, as the format asks
    ++tracks;
    TrackContents contents;
    if (!parseTrack(chunk, tracks, contents, error)) return std::nullopt;
    messages.insert(messages.end(), contents.messages.begin(), contents.messages.end());
    tempoChanges.insert(tempoChanges.end(), contents.tempoChanges.begin(), contents.tempoChanges.end());
  }

  // Stable: at equal ticks the earlier track, then the earlier event, comes first.
  std::stable_sort(messages.begin(), messages.end(),
                   [](const Message& a, const Message& b) { return a.tick < b.tick; });
  std::stable_sort(tempoChanges.begin(), tempoChanges.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  file.tempoChanges_ = std::move(tempoChanges);
  double seconds = 0.0;
  std::int64_t previousTick = 0;
  double tempo = 500000.0;
  for (const TempoChange& change : file.tempoChanges_) {
    seconds += static_cast<double>(change.tick - previousTick) * tempo / (1e6 * file.division_);
    file.segmentSeconds_.push_back(seconds);
    previousTick = change.tick;
    tempo = change.microsecondsPerQuarter;
  }
  for (Message& message : messages) message.seconds = file.secondsAt(message.tick);
  file.messages_ = std::move(messages);
  return file;
}

std::optional<MidiFile> MidiFile::load(const std::string& path, std::string& error) {
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (!stream) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[65536];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + count);
    if (bytes.size() > static_cast<std::size_t>(kMaxFileBytes)) {
      std::fclose(stream);
      error = "file too large for a MIDI file";
      return std::nullopt;
    }
  }
  const bool failed = std::ferror(stream);
  std::fclose(stream);
  if (failed) {
    error = "read error";
    return std::nullopt;
  }
  return parse(bytes, error);
}

double MidiFile::secondsAt(std::int64_t tick) const {
  if (smpte_) return static_cast<double>(tick) / ticksPerSecond_;
  // The last tempo change before `tick`; each segment is timed from its own
  // start so that long files do not drift.
  auto after = std::lower_bound(tempoChanges_.begin(), tempoChanges_.end(), tick,
                                [](const TempoChange& change, std::int64_t t) { return change.tick < t; });
  if (after == tempoChanges_.begin()) return static_cast<double>(tick) * 500000.0 / (1e6 * division_);
  const std::size_t segment = static_cast<std::size_t>(after - tempoChanges_.begin()) - 1;
  return segmentSeconds_[segment] + static_cast<double>(tick - tempoChanges_[segment].tick) *
                                        tempoChanges_[segment].microsecondsPerQuarter / (1e6 * division_);
}

std::vector<MidiFile::TimedMessage> MidiFile::messagesAt(double sampleRate) const {
  std::vector<TimedMessage> timed;
  timed.reserve(messages_.size());
  for (const Message& message : messages_)
    timed.push_back(
        {static_cast<std::int64_t>(std::llround(message.seconds * sampleRate)), message.data, message.size});
  return timed;
}

}  // namespace zvx::render
