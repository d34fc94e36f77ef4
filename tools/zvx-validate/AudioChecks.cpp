// D: rendering at every rate and block size with sentinel-filled outputs,
// silence, block-size invariance, event timing, event fuzz and parameters.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <thread>

#include "tools/zvx-validate/Validator.h"

namespace zvx::validate {
namespace {

constexpr float kSilence = 1e-6f;  // -120 dBFS

// A note the instrument plays: ZVX's drums, else middle C and around.
int noteFor(const Session& session, int i) {
  static const int kDrums[] = {35, 36, 38, 40, 42, 44, 46, 29, 31, 33, 37, 39};
  if (session.profile().exact) return kDrums[static_cast<std::size_t>(i) % std::size(kDrums)];
  return 48 + i % 24;
}

struct Automation {
  int index;
  float value;
};

// Renders `total` frames in blocks of `blockSize`; events and automation at
// absolute positions, automation set from another thread just before the
// block that starts there (a host's GUI thread, in step with the audio).
std::vector<std::vector<float>> renderSequence(vsthost::Plugin& plugin, Check& check, int total, int blockSize,
                                               const std::multimap<int, VstMidiEvent>& events,
                                               const std::multimap<int, Automation>& automation,
                                               const std::string& what) {
  const int channels = plugin.effect()->numOutputs;
  std::vector<std::vector<float>> result(static_cast<std::size_t>(channels), std::vector<float>(total));
  Outputs out(channels, blockSize);
  EventList list;
  for (int start = 0; start < total; start += blockSize) {
    const int frames = std::min(blockSize, total - start);
    for (auto it = automation.lower_bound(start); it != automation.end() && it->first < start + frames; ++it) {
      const Automation a = it->second;
      std::thread([&plugin, a] { plugin.setParameter(a.index, a.value); }).join();
    }
    list.clear();
    for (auto it = events.lower_bound(start); it != events.end() && it->first < start + frames; ++it) {
      VstMidiEvent event = it->second;
      event.deltaFrames = it->first - start;
      list.add(event);
    }
    const std::string problem = processBlock(plugin, out, frames, &list);
    if (!check.expect(problem.empty(), what + ": " + problem)) break;
    for (int c = 0; c < channels; ++c)
      std::copy(out.channel(c), out.channel(c) + frames, result[static_cast<std::size_t>(c)].begin() + start);
  }
  return result;
}

void checkRatesAndBlocks(Session& session) {
  Check check("D.rates", "every rate x block size, variable, empty and oversized blocks: outputs written, finite, "
                         "not subnormal, nothing past the block");
  const float rates[] = {22050.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f};
  const int sizes[] = {1, 2, 3, 16, 64, 128, 256, 512, 1024, 2048, 4096, 4097};
  std::mt19937& random = session.random();
  int configurations = 0, blocks = 0;
  for (float rate : rates) {
    auto plugin = session.started(rate, 512);
    if (!check.expect(plugin != nullptr, "no plug-in")) return;
    Outputs out(plugin->effect()->numOutputs, 2 * 4097);
    EventList list;
    for (int size : sizes) {
      const std::string where = std::to_string(static_cast<int>(rate)) + " Hz, block " + std::to_string(size);
      plugin->dispatch(effMainsChanged, 0, 0);
      plugin->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
      plugin->dispatch(effSetBlockSize, 0, size);
      plugin->dispatch(effMainsChanged, 0, 1);
      // 50 ms at least, ten blocks at least; a hit every 10 ms.
      const int frames = std::max(10 * size, static_cast<int>(rate / 20));
      const int hitEvery = std::max(1, static_cast<int>(rate / 100));
      int nextHit = 0, note = 0;
      bool failed = false;
      for (int done = 0; done < frames && !failed; done += size, ++blocks) {
        list.clear();
        for (; nextHit < done + size; nextHit += hitEvery, ++note)
          list.add(vsthost::midiEvent(nextHit - done, 0x90, noteFor(session, note), 30 + note * 13 % 98));
        const std::string problem = processBlock(*plugin, out, size, &list);
        failed = !check.expect(problem.empty(), where + ": " + problem);
      }
      // Variable sizes up to the maximum, empty blocks, twice the maximum.
      for (int i = 0; i < 24 && !failed; ++i, ++blocks) {
        const int n = i % 6 == 0 ? 0 : i % 11 == 5 ? 2 * size : static_cast<int>(random() % static_cast<unsigned>(size + 1));
        list.clear();
        if (n > 0 && i % 3 == 0) list.add(vsthost::midiEvent(static_cast<int>(random() % static_cast<unsigned>(n)), 0x90, noteFor(session, i), 127));
        const std::string problem = processBlock(*plugin, out, n, &list);
        failed = !check.expect(problem.empty(), where + ", variable block of " + std::to_string(n) + ": " + problem);
      }
      out.arm(0);
      plugin->processReplacing(out.pointers(), -1);
      check.expect(out.verify(0).empty(), where + ": a negative frame count wrote into the buffers");
      ++configurations;
    }
  }
  count("configurations", configurations);
  count("blocks", blocks);
  check.detail(std::to_string(configurations) + " configurations, " + std::to_string(blocks) + " blocks");
}

float peakOf(const std::vector<std::vector<float>>& channels) {
  float peak = 0.0f;
  for (const auto& channel : channels)
    for (float sample : channel) peak = std::max(peak, std::fabs(sample));
  return peak;
}

void checkSilence(Session& session) {
  Check check("D.silence", "silent without notes, and silent again after the longest tail");
  auto plugin = session.started(44100.0f, 4096);
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  const auto quiet = renderSequence(*plugin, check, 44100, 4096, {}, {}, "no notes");
  check.expect(peakOf(quiet) < kSilence, "sounds without notes: peak " + describeFloat(peakOf(quiet)));
  std::multimap<int, VstMidiEvent> events;
  for (int i = 0; i < 12; ++i) {
    events.emplace(i * 441, vsthost::midiEvent(0, 0x90, noteFor(session, i), 127));
    events.emplace(i * 441 + 4410, vsthost::midiEvent(0, 0x80, noteFor(session, i), 0));
  }
  // Up to 30 s for the tails; then a whole second must be silent, and stay so.
  const int second = 44100;
  const auto hits = renderSequence(*plugin, check, second, 4096, events, {}, "hits");
  check.expect(peakOf(hits) > kSilence, "the notes made no sound");
  int silentAt = -1;
  for (int s = 1; s <= 30 && silentAt < 0; ++s) {
    const auto tail = renderSequence(*plugin, check, second, 4096, {}, {}, "tail");
    if (peakOf(tail) < kSilence) silentAt = s;
  }
  if (!check.expect(silentAt > 0, "still sounding 30 s after the last note")) return;
  const auto after = renderSequence(*plugin, check, 2 * second, 4096, {}, {}, "after the tail");
  check.expect(peakOf(after) < kSilence, "sounds again after falling silent");
  check.detail("silent " + std::to_string(silentAt) + " s after the hits");
}

void checkBlockSizeInvariance(Session& session) {
  Check check("D.invariance", "the same notes and automation give the same output at every block size");
  // Events and automation on block starts in every size: multiples of 12288.
  constexpr int kPeriod = 12288, kPoints = 14, kTotal = kPeriod * kPoints;
  const int sizes[] = {1, 3, 16, 64, 96, 256, 512, 1536, 4096};
  std::mt19937 random(session.seed() + 18);
  std::multimap<int, VstMidiEvent> events;
  std::multimap<int, Automation> automation;
  auto probe = session.create();
  if (!check.expect(probe != nullptr, "no plug-in")) return;
  const int params = probe->effect()->numParams;
  probe.reset();
  for (int point = 0; point < kPoints; ++point) {
    const int at = point * kPeriod;
    for (int n = 0; n < 1 + point % 3; ++n)
      events.emplace(at, vsthost::midiEvent(0, 0x90 | n, noteFor(session, static_cast<int>(random() % 12)), 127));
    if (point % 4 == 3) events.emplace(at, vsthost::midiEvent(0, 0x80, noteFor(session, point), 0));
    if (params > 0 && point > 0 && point % 2 == 0)
      automation.emplace(at, Automation{static_cast<int>(random() % static_cast<unsigned>(params)),
                                        static_cast<float>(random() % 1001) / 1000.0f});
  }
  std::vector<std::vector<float>> reference;
  float worst = 0.0f;
  for (int size : sizes) {
    auto plugin = session.started(44100.0f, size);
    if (!check.expect(plugin != nullptr, "no plug-in")) return;
    const auto out = renderSequence(*plugin, check, kTotal, size, events, automation, "block " + std::to_string(size));
    if (reference.empty()) {
      reference = out;
      check.expect(peakOf(out) > kSilence, "the sequence is silent");
      continue;
    }
    float difference = 0.0f;
    long firstAt = -1;
    for (std::size_t c = 0; c < out.size(); ++c)
      for (std::size_t i = 0; i < out[c].size(); ++i) {
        const float d = std::fabs(out[c][i] - reference[c][i]);
        if (d > difference) difference = d;
        if (d > 0.0f && firstAt < 0) firstAt = static_cast<long>(i);
      }
    worst = std::max(worst, difference);
    const float allowed = session.profile().exact ? 0.0f : 1e-4f;
    check.expect(difference <= allowed, "block " + std::to_string(size) + " differs from block 1 by " +
                                            describeFloat(difference) + " from sample " + std::to_string(firstAt));
  }
  count("configurations", static_cast<long long>(std::size(sizes)));
  check.detail(std::to_string(std::size(sizes)) + " block sizes, largest difference " + describeFloat(worst));
}

void checkOnsets(Session& session) {
  Check check("D.onset", "a note sounds from the sample its deltaFrames names");
  const int ks[] = {0, 1, 2, 3, 5, 8, 13, 64, 100, 255, 256, 300, 511};
  const int note = noteFor(session, 2);
  long reference = -2;
  for (int k : ks) {
    auto plugin = session.started(44100.0f, 512);
    if (!check.expect(plugin != nullptr, "no plug-in")) return;
    std::multimap<int, VstMidiEvent> events;
    events.emplace(k, vsthost::midiEvent(0, 0x90, note, 127));
    const auto out = renderSequence(*plugin, check, 2048, 512, events, {}, "onset " + std::to_string(k));
    long onset = -1;
    for (std::size_t i = 0; i < out[0].size() && onset < 0; ++i)
      for (const auto& channel : out)
        if (channel[i] != 0.0f) {
          onset = static_cast<long>(i);
          break;
        }
    if (!check.expect(onset >= 0, "a note at " + std::to_string(k) + " made no sound")) continue;
    if (reference == -2) reference = onset;  // k = 0
    const int shift = k;
    check.expect(onset == reference + shift, "a note at deltaFrames " + std::to_string(k) + " sounds from sample " +
                                                 std::to_string(onset) + ", not " + std::to_string(reference + shift));
  }
  check.detail(std::to_string(std::size(ks)) + " offsets");
}

void checkEventFuzz(Session& session) {
  Check check("D.events", "fuzzed events: unsorted, out of the block, floods, sysex, odd types; no note hangs");
  auto plugin = session.started(44100.0f, 256);
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  constexpr int kBlocks = 400, kFrames = 256;
  std::mt19937 random(session.seed() + 19);
  Outputs out(plugin->effect()->numOutputs, kFrames);
  EventList list;
  long long fuzzed = 0;
  auto any = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  for (int block = 0; block < kBlocks; ++block) {
    list.clear();
    const int events = block % 50 == 17 ? 1024 : block % 13 == 0 ? 0 : any(10);
    for (int e = 0; e < events; ++e) {
      const int delta = any(10) == 0 ? any(4 * kFrames) - 2 * kFrames : any(kFrames);
      const int channel = any(16);
      switch (any(10)) {
        case 0: list.add(vsthost::midiEvent(delta, 0x90 | channel, any(128), any(128))); break;  // velocity 0 too
        case 1: list.add(vsthost::midiEvent(delta, 0x90 | channel, noteFor(session, any(12)), 1 + any(127))); break;
        case 2: list.add(vsthost::midiEvent(delta, 0x80 | channel, any(128), any(128))); break;
        case 3: {
          const int controllers[] = {1, 7, 10, 64, 120, 121, 123, any(128)};
          list.add(vsthost::midiEvent(delta, 0xB0 | channel, controllers[any(8)], any(128)));
          break;
        }
        case 4: list.add(vsthost::midiEvent(delta, 0xE0 | channel, any(128), any(128))); break;
        case 5: list.add(vsthost::midiEvent(delta, 0xC0 | channel, any(128), 0)); break;
        case 6: list.add(vsthost::midiEvent(delta, 0xA0 | channel, any(128), any(128))); break;
        case 7: list.addSysex(delta, 1 + any(64)); break;
        case 8: {
          VstEvent odd{};
          odd.type = any(2) ? 99 : 2 + any(4);  // unknown or unused types
          odd.byteSize = any(64) - 8;
          odd.deltaFrames = delta;
          for (char& c : odd.data) c = static_cast<char>(any(256));
          list.addRaw(odd);
          break;
        }
        default: {
          VstMidiEvent midi = vsthost::midiEvent(delta, any(256), any(256), any(256));  // any bytes at all
          midi.byteSize = any(2) ? 7 : 33;
          list.add(midi);
          break;
        }
      }
    }
    fuzzed += events;
    if (events == 0) plugin->dispatch(effProcessEvents, 0, 0, list.block());  // an empty list
    const std::string problem = processBlock(*plugin, out, kFrames, &list);
    if (!check.expect(problem.empty(), "block " + std::to_string(block) + ": " + problem)) break;
  }
  // All notes off on every channel: nothing may keep sounding.
  list.clear();
  for (int channel = 0; channel < 16; ++channel) {
    list.add(vsthost::midiEvent(0, 0xB0 | channel, 123, 0));
    list.add(vsthost::midiEvent(0, 0xB0 | channel, 120, 0));
  }
  processBlock(*plugin, out, kFrames, &list);
  bool silent = false;
  for (int block = 0; block < 30 * 44100 / kFrames && !silent; ++block) {
    const std::string problem = processBlock(*plugin, out, kFrames);
    if (!check.expect(problem.empty(), "after all notes off: " + problem)) break;
    float peak = 0.0f;
    for (int c = 0; c < out.channels(); ++c)
      for (int i = 0; i < kFrames; ++i) peak = std::max(peak, std::fabs(out.channel(c)[i]));
    silent = peak < kSilence;
  }
  check.expect(silent, "a note still sounds 30 s after all notes off");
  count("events", fuzzed);
  check.detail(std::to_string(fuzzed) + " events in " + std::to_string(kBlocks) + " blocks");
}

void checkParameterValues(Session& session) {
  Check check("D.parameters", "parameters take any value, out of range too, and automation in 32-sample blocks");
  auto plugin = session.started(44100.0f, 32);
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  std::mt19937 random(session.seed() + 21);
  const int params = plugin->effect()->numParams;
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  int sets = 0;
  for (int p = 0; p < params; ++p) {
    const std::string which = "parameter " + std::to_string(p);
    std::vector<float> values = {0.0f, 1.0f, -1.0f, 2.0f, nan, inf, -inf, 0.5f};
    for (int i = 0; i < 5; ++i) values.push_back(static_cast<float>(random() % 100001) / 100000.0f);
    for (float value : values) {
      plugin->setParameter(p, value);
      ++sets;
      const float got = plugin->getParameter(p);
      const std::string after = " after setting " + describeFloat(value) + " gives " + describeFloat(got);
      check.expect(std::isfinite(got) && got >= 0.0f && got <= 1.0f, which + after);
      if (session.profile().exact && value >= 0.0f && value <= 1.0f) check.expect(got == value, which + after);
      // A value the plug-in gave back is taken as it is.
      plugin->setParameter(p, got);
      check.expect(plugin->getParameter(p) == got, which + " does not keep its own value " + describeFloat(got));
      const StringAnswer display = askString(*plugin, effGetParamDisplay, p, 24);
      check.expect(display.problem.empty() && validUtf8(display.text), which + " display " + display.problem);
      std::string text = display.text;
      if (plugin->dispatch(effString2Parameter, p, 0, text.data()) == 1)
        check.expect(std::fabs(plugin->getParameter(p) - got) < 0.01f, which + " display \"" + display.text +
                                                                           "\" reads back as another value");
    }
  }
  // Automation between 32-sample blocks, pluginval style, with notes.
  Outputs out(plugin->effect()->numOutputs, 32);
  EventList list;
  for (int block = 0; block < 800; ++block) {
    for (int n = static_cast<int>(random() % 11); n > 0 && params > 0; --n)
      plugin->setParameter(static_cast<int>(random() % static_cast<unsigned>(params)),
                           static_cast<float>(random() % 1001) / 1000.0f);
    list.clear();
    if (block % 20 == 0) list.add(vsthost::midiEvent(static_cast<int>(random() % 32), 0x90, noteFor(session, block / 20), 127));
    const std::string problem = processBlock(*plugin, out, 32, &list);
    if (!check.expect(problem.empty(), "automated block " + std::to_string(block) + ": " + problem)) break;
  }
  count("blocks", 800);
  check.detail(std::to_string(sets) + " values set");
}

}  // namespace

void runAudioChecks(Session& session) {
  checkRatesAndBlocks(session);
  checkSilence(session);
  checkBlockSizeInvariance(session);
  checkOnsets(session);
  checkEventFuzz(session);
  checkParameterValues(session);
}

}  // namespace zvx::validate
