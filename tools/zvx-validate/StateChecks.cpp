// G: chunks given and taken back byte for byte, corrupt chunks survived,
// programs, and everything again under a locale with a decimal comma.
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "formats/vst2/HeadlessProtocol.h"
#include "tools/zvx-validate/Validator.h"

namespace zvx::validate {
namespace {

bool sameValues(const std::vector<float>& a, const std::vector<float>& b, std::string& why) {
  if (a.size() != b.size()) {
    why = "parameter counts differ";
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!(a[i] == b[i]) && !(std::isnan(a[i]) && std::isnan(b[i]))) {
      why = "parameter " + std::to_string(i) + " is " + describeFloat(b[i]) + ", not " + describeFloat(a[i]);
      return false;
    }
  return true;
}

std::vector<std::string> programNames(vsthost::Plugin& plugin) {
  std::vector<std::string> names;
  for (int p = 0; p < plugin.effect()->numPrograms; ++p) names.push_back(plugin.programNameIndexed(p));
  return names;
}

void randomise(vsthost::Plugin& plugin, std::mt19937& random) {
  for (int p = 0; p < plugin.effect()->numParams; ++p)
    plugin.setParameter(p, static_cast<float>(random() % 1001) / 1000.0f);
}

void checkChunks(Session& session) {
  Check check("G.chunks", "chunks are given, stay valid until the next call, and repeat byte for byte");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  if (!(plugin->effect()->flags & effFlagsProgramChunks)) {
    check.skip("the plug-in keeps no chunks");
    return;
  }
  for (int index : {0, 1}) {
    const std::string which = index == 0 ? "bank chunk" : "program chunk";
    void* data = nullptr;
    const VstIntPtr size = plugin->dispatch(effGetChunk, index, 0, &data);
    if (!check.expect(size > 0 && data, which + " not given")) continue;
    const std::vector<unsigned char> first(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    // Other calls in between leave the buffer alone.
    for (int p = 0; p < plugin->effect()->numParams; ++p) plugin->parameterDisplay(p);
    plugin->programName();
    check.expect(std::memcmp(data, first.data(), first.size()) == 0, which + " changed before the next call");
    check.expect(chunkOf(*plugin, index) == first, which + " differs when asked twice");
  }
}

void checkRoundTrip(Session& session) {
  Check check("G.roundtrip", "randomised state restored into a new instance, and given back byte for byte");
  auto a = session.started();
  if (!check.expect(a != nullptr, "no plug-in")) return;
  if (!(a->effect()->flags & effFlagsProgramChunks)) {
    check.skip("the plug-in keeps no chunks");
    return;
  }
  std::mt19937 random(session.seed() + 31);
  const int programs = a->effect()->numPrograms;
  const int program = programs > 3 ? 3 : 0;
  for (int p : {program == 0 ? 0 : 1, program}) {
    a->dispatch(effSetProgram, 0, p);
    randomise(*a, random);
    char name[] = "Validator";
    a->dispatch(effSetProgramName, 0, 0, name);
  }
  const std::vector<float> values = parameterValues(*a);
  const std::vector<std::string> names = programNames(*a);
  const std::vector<unsigned char> bank = chunkOf(*a, 0), preset = chunkOf(*a, 1);
  if (!check.expect(!bank.empty() && !preset.empty(), "no chunks given")) return;

  auto b = session.started();
  b->dispatch(effSetProgram, 0, program);
  std::vector<unsigned char> copy = bank;
  b->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data());
  std::fill(copy.begin(), copy.end(), 0);  // the host may free it: the plug-in must have copied it
  std::string why;
  check.expect(b->dispatch(effGetProgram) == program, "the restored instance is on another program");
  check.expect(sameValues(values, parameterValues(*b), why), "bank restored: " + why);
  check.expect(programNames(*b) == names, "bank restored: program names differ");
  check.expect(chunkOf(*b, 0) == bank, "bank chunk not given back byte for byte");
  check.expect(chunkOf(*b, 1) == preset, "program chunk not given back byte for byte");

  auto c = session.started();
  c->dispatch(effSetProgram, 0, program);
  copy = preset;
  c->dispatch(effSetChunk, 1, static_cast<VstIntPtr>(copy.size()), copy.data());
  check.expect(sameValues(values, parameterValues(*c), why), "program restored: " + why);
  check.expect(chunkOf(*c, 1) == preset, "program chunk restored, not given back byte for byte");
  check.detail(std::to_string(bank.size()) + "-byte bank, " + std::to_string(preset.size()) + "-byte program");
}

// After anything a host could hand over, the plug-in still plays and its
// parameters are numbers.
bool stillSane(vsthost::Plugin& plugin, Check& check, const std::string& what) {
  for (int p = 0; p < plugin.effect()->numParams; ++p) {
    const float value = plugin.getParameter(p);
    if (!check.expect(std::isfinite(value), what + ": parameter " + std::to_string(p) + " is " + describeFloat(value)))
      return false;
  }
  Outputs out(plugin.effect()->numOutputs, 128);
  EventList list;
  list.add(vsthost::midiEvent(0, 0x90, 38, 127));
  list.add(vsthost::midiEvent(0, 0x90, 36, 127));
  list.add(vsthost::midiEvent(0, 0x90, 42, 127));
  for (int block = 0; block < 24; ++block) {
    const std::string problem = processBlock(plugin, out, 128, block == 0 ? &list : nullptr);
    if (!check.expect(problem.empty(), what + ": " + problem)) return false;
  }
  return true;
}

void checkCorruptChunks(Session& session) {
  Check check("G.corrupt", "empty, short, truncated, random, flipped, huge and null chunks are survived");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  if (!(plugin->effect()->flags & effFlagsProgramChunks)) {
    check.skip("the plug-in keeps no chunks");
    return;
  }
  const Profile& profile = session.profile();
  std::mt19937 random(session.seed() + 33);
  const std::vector<unsigned char> bank = chunkOf(*plugin, 0), preset = chunkOf(*plugin, 1);
  long long corrupted = 0;
  auto offer = [&](int index, std::vector<unsigned char> bytes, const std::string& what, bool mustRefuse) {
    const std::vector<unsigned char> before = chunkOf(*plugin, 0);
    const VstIntPtr answer = plugin->dispatch(effSetChunk, index, static_cast<VstIntPtr>(bytes.size()),
                                              bytes.empty() ? nullptr : bytes.data());
    ++corrupted;
    const std::string which = (index ? "program chunk, " : "bank chunk, ") + what;
    if (answer == 0 || mustRefuse)
      check.expect(chunkOf(*plugin, 0) == before, which + (answer == 0 ? ": refused but the state changed"
                                                                       : ": the state changed"));
    if (!stillSane(*plugin, check, which)) {
      // Back to a known state for the next offer.
      std::vector<unsigned char> restore = bank;
      plugin->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(restore.size()), restore.data());
    }
  };
  for (int index : {0, 1}) {
    const std::vector<unsigned char>& valid = index == 0 ? bank : preset;
    if (valid.empty()) continue;
    const bool exactSizes = profile.chunkSizesExact;
    offer(index, {}, "0 bytes, null", false);
    offer(index, {0x42}, "1 byte", exactSizes && index == 0);
    offer(index, std::vector<unsigned char>(valid.begin(), valid.begin() + std::min<std::size_t>(16, valid.size())),
          "its first 16 bytes", exactSizes && index == 0);
    // Truncated: every length of a program chunk, a spread of a bank's.
    std::vector<std::size_t> lengths;
    if (valid.size() <= 4096) {
      for (std::size_t n = 1; n < valid.size(); ++n) lengths.push_back(n);
    } else {
      for (std::size_t n = 1; n < 64; ++n) lengths.push_back(n), lengths.push_back(valid.size() - n);
      for (int i = 0; i < 64; ++i) lengths.push_back(1 + random() % (valid.size() - 1));
    }
    for (std::size_t n : lengths)
      offer(index, std::vector<unsigned char>(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(n)),
            "cut to " + std::to_string(n) + " bytes", exactSizes && index == 0);
    // Random bytes: of its own size and of others.
    for (int i = 0; i < 24; ++i) {
      const std::size_t n = i % 2 ? valid.size() : 1 + random() % (2 * valid.size());
      std::vector<unsigned char> noise(n);
      for (unsigned char& b : noise) b = static_cast<unsigned char>(random());
      offer(index, noise, std::to_string(n) + " random bytes",
            exactSizes && ((index == 0 && n != valid.size()) || (index == 1 && n > valid.size())));
    }
    // Single bits flipped in a valid chunk.
    for (int i = 0; i < 48; ++i) {
      std::vector<unsigned char> flipped = valid;
      const std::size_t at = random() % flipped.size();
      flipped[at] ^= static_cast<unsigned char>(1u << (random() % 8));
      offer(index, flipped, "bit flipped at byte " + std::to_string(at), false);
    }
    offer(index, std::vector<unsigned char>(valid.size() + 1, 0), "one byte longer", exactSizes);
    offer(index, std::vector<unsigned char>(16u << 20, 0x7F), "16 MB", exactSizes);
    // A null pointer with a size.
    const VstIntPtr answer = plugin->dispatch(effSetChunk, index, static_cast<VstIntPtr>(valid.size()), nullptr);
    check.expect(answer == 0, "a null chunk pointer with a size was accepted");
    ++corrupted;
  }
  count("chunks", corrupted);
  check.detail(std::to_string(corrupted) + " chunks offered");
}

void checkCrossedChunks(Session& session) {
  Check check("G.crossed", "a bank chunk given as a program chunk and the other way round");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  if (!(plugin->effect()->flags & effFlagsProgramChunks)) {
    check.skip("the plug-in keeps no chunks");
    return;
  }
  std::mt19937 random(session.seed() + 35);
  randomise(*plugin, random);
  std::vector<unsigned char> bank = chunkOf(*plugin, 0), preset = chunkOf(*plugin, 1);
  const std::vector<unsigned char> before = bank;
  plugin->dispatch(effSetChunk, 1, static_cast<VstIntPtr>(bank.size()), bank.data());
  stillSane(*plugin, check, "bank chunk as program chunk");
  if (session.profile().chunkSizesExact) check.expect(chunkOf(*plugin, 0) == before, "bank chunk as program chunk taken");
  plugin->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(preset.size()), preset.data());
  stillSane(*plugin, check, "program chunk as bank chunk");
  if (session.profile().chunkSizesExact) check.expect(chunkOf(*plugin, 0) == before, "program chunk as bank chunk taken");
}

void checkPrograms(Session& session) {
  Check check("G.programs", "every program selected in brackets, names agree, long names cut safely");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  const int programs = plugin->effect()->numPrograms;
  for (int p = 0; p < programs; ++p) {
    plugin->dispatch(effBeginSetProgram);
    plugin->dispatch(effSetProgram, 0, p);
    plugin->dispatch(effEndSetProgram);
    check.expect(plugin->dispatch(effGetProgram) == p, "program " + std::to_string(p) + " not selected");
    const StringAnswer current = askString(*plugin, effGetProgramName, 0, 24);
    check.expect(current.problem.empty(), "program " + std::to_string(p) + " name " + current.problem);
    check.expect(current.text == plugin->programNameIndexed(p), "program " + std::to_string(p) +
                                                                     " has two names: \"" + current.text + "\"");
  }
  if (programs > 0) {
    plugin->dispatch(effSetProgram, 0, programs - 1);
    std::string longName(100, 'x');
    for (std::size_t i = 0; i < longName.size(); ++i) longName[i] = static_cast<char>('a' + i % 26);
    plugin->dispatch(effSetProgramName, 0, 0, longName.data());
    const StringAnswer renamed = askString(*plugin, effGetProgramName, 0, 24);
    check.expect(renamed.problem.empty(), "a 100-character name read back " + renamed.problem);
    check.expect(!renamed.text.empty() && longName.rfind(renamed.text, 0) == 0,
                 "a 100-character name read back as \"" + renamed.text + "\"");
    const StringAnswer indexed = askString(*plugin, effGetProgramNameIndexed, programs - 1, 24);
    check.expect(indexed.problem.empty(), "a 100-character name read back by index " + indexed.problem);
  }
  Outputs out(plugin->effect()->numOutputs, 256);
  check.expect(processBlock(*plugin, out, 256).empty(), "renders badly afterwards");
  check.detail(std::to_string(programs) + " programs");
}

// What the plug-in shows of itself: displays, names, the state, and the
// editor's own description when it has the headless protocol.
struct Snapshot {
  std::vector<std::string> displays;
  std::vector<unsigned char> bank;
  std::string editor;
};

Snapshot snapshot(Session& session, Check& check, const std::string& stage) {
  Snapshot shot;
  const std::string locale = std::setlocale(LC_ALL, nullptr);
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return shot;
  std::mt19937 random(session.seed() + 37);
  randomise(*plugin, random);
  for (int p = 0; p < plugin->effect()->numParams; ++p) shot.displays.push_back(plugin->parameterDisplay(p));
  shot.bank = chunkOf(*plugin, 0);
  if (!shot.bank.empty()) {
    std::vector<unsigned char> copy = shot.bank;
    plugin->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data());
  }
  if ((plugin->effect()->flags & effFlagsHasEditor) && plugin->dispatch(effEditOpen, 0, 0, nullptr) == 1) {
    plugin->dispatch(effEditIdle);
    HeadlessText probe;
    const VstIntPtr length = plugin->dispatch(effVendorSpecific, kHeadlessOpcode, kHeadlessDescribe, &probe);
    if (length > 0) {
      std::string text(static_cast<std::size_t>(length) + 1, '\0');
      HeadlessText answer{text.data(), static_cast<std::int64_t>(text.size())};
      plugin->dispatch(effVendorSpecific, kHeadlessOpcode, kHeadlessDescribe, &answer);
      text.resize(static_cast<std::size_t>(length));
      shot.editor = text;
    }
    plugin->dispatch(effEditClose);
  }
  plugin->close();
  check.expect(locale == std::setlocale(LC_ALL, nullptr), stage + ": the plug-in changed the locale");
  return shot;
}

void checkLocale(Session& session) {
  Check check("G.locale", "a host with a decimal comma sees the same texts, state and editor; locale untouched");
  const char* wanted = std::getenv("ZVX_VALIDATE_LOCALE");
  const Snapshot plain = snapshot(session, check, "C locale");
  if (!wanted || !std::setlocale(LC_ALL, wanted)) {
    check.skip("no locale with a decimal comma (de_DE.UTF-8) could be made");
    return;
  }
  const Snapshot comma = snapshot(session, check, wanted);
  std::setlocale(LC_ALL, "C");
  for (std::size_t p = 0; p < std::min(plain.displays.size(), comma.displays.size()); ++p)
    check.expect(plain.displays[p] == comma.displays[p], "parameter " + std::to_string(p) + " shows \"" +
                                                             comma.displays[p] + "\", not \"" + plain.displays[p] + "\"");
  check.expect(plain.bank == comma.bank, "the state differs");
  if (plain.editor != comma.editor) {
    // The first line that differs says what was read or printed with the comma.
    std::size_t at = 0;
    while (at < plain.editor.size() && at < comma.editor.size() && plain.editor[at] == comma.editor[at]) ++at;
    const std::size_t from = plain.editor.rfind('\n', at) == std::string::npos ? 0 : plain.editor.rfind('\n', at) + 1;
    check.fail("the editor is built differently: \"" + comma.editor.substr(from, comma.editor.find('\n', from) - from) +
               "\" instead of \"" + plain.editor.substr(from, plain.editor.find('\n', from) - from) + "\"");
  }
  check.detail(std::string(wanted) + (plain.editor.empty() ? "" : ", editor compared"));
}

}  // namespace

void runStateChecks(Session& session) {
  checkChunks(session);
  checkRoundTrip(session);
  checkCrossedChunks(session);
  checkCorruptChunks(session);
  checkPrograms(session);
  checkLocale(session);
}

}  // namespace zvx::validate
