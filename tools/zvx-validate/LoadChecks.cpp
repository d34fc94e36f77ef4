// A: the module file and what its entry point hands over, before any host
// has written into it; many instances at once; unloading and loading again.
#include <elf.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "tools/zvx-validate/Validator.h"

namespace zvx::validate {
namespace {

namespace fs = std::filesystem;

struct DynamicInfo {
  std::string error;
  std::set<std::string> exported;    // defined, global or weak, default visibility
  std::set<std::string> referenced;  // undefined
  std::vector<std::string> needed;
};

// Reads the dynamic symbol table and the DT_NEEDED entries of a 64-bit ELF file.
DynamicInfo readDynamic(const std::string& path) {
  DynamicInfo info;
  std::ifstream file(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto fits = [&](std::uint64_t offset, std::uint64_t size) { return offset <= bytes.size() && size <= bytes.size() - offset; };
  if (!fits(0, sizeof(Elf64_Ehdr)) || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0 ||
      bytes[EI_CLASS] != ELFCLASS64) {
    info.error = "not a 64-bit ELF file";
    return info;
  }
  Elf64_Ehdr header;
  std::memcpy(&header, bytes.data(), sizeof header);
  if (!fits(header.e_shoff, static_cast<std::uint64_t>(header.e_shnum) * sizeof(Elf64_Shdr))) {
    info.error = "section table out of the file";
    return info;
  }
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  std::memcpy(sections.data(), bytes.data() + header.e_shoff, sections.size() * sizeof(Elf64_Shdr));
  auto stringAt = [&](const Elf64_Shdr& table, std::uint64_t offset) -> std::string {
    if (!fits(table.sh_offset, table.sh_size) || offset >= table.sh_size) return {};
    const char* start = bytes.data() + table.sh_offset + offset;
    return std::string(start, strnlen(start, table.sh_size - offset));
  };
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_link >= sections.size()) continue;
    const Elf64_Shdr& strings = sections[section.sh_link];
    if (section.sh_type == SHT_DYNSYM && fits(section.sh_offset, section.sh_size)) {
      for (std::uint64_t at = sizeof(Elf64_Sym); at + sizeof(Elf64_Sym) <= section.sh_size; at += sizeof(Elf64_Sym)) {
        Elf64_Sym symbol;
        std::memcpy(&symbol, bytes.data() + section.sh_offset + at, sizeof symbol);
        const std::string name = stringAt(strings, symbol.st_name);
        const int binding = ELF64_ST_BIND(symbol.st_info);
        if (name.empty()) continue;
        if (symbol.st_shndx == SHN_UNDEF)
          info.referenced.insert(name);
        else if ((binding == STB_GLOBAL || binding == STB_WEAK || binding == STB_GNU_UNIQUE) &&
                 ELF64_ST_VISIBILITY(symbol.st_other) == STV_DEFAULT)
          info.exported.insert(name);
      }
    }
    if (section.sh_type == SHT_DYNAMIC && fits(section.sh_offset, section.sh_size)) {
      for (std::uint64_t at = 0; at + sizeof(Elf64_Dyn) <= section.sh_size; at += sizeof(Elf64_Dyn)) {
        Elf64_Dyn entry;
        std::memcpy(&entry, bytes.data() + section.sh_offset + at, sizeof entry);
        if (entry.d_tag == DT_NULL) break;
        if (entry.d_tag == DT_NEEDED) info.needed.push_back(stringAt(strings, entry.d_un.d_val));
      }
    }
  }
  return info;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizerBuild = true;
#else
constexpr bool kSanitizerBuild = false;
#endif

// Libraries a host can be expected to have and share safely, with what an
// X11 editor needs for windows, text and images.
bool allowedLibrary(const std::string& soname) {
  static const char* const kAllowed[] = {"libc.so",     "libm.so",      "libdl.so",        "libpthread.so",
                                         "librt.so",    "libstdc++.so", "libgcc_s.so",     "libX11.so",
                                         "libXext.so",  "libxcb.so",    "libXrender.so",   "libfreetype.so",
                                         "libpng16.so", "libz.so",      "libfontconfig.so", "ld-linux"};
  for (const char* prefix : kAllowed)
    if (soname.rfind(prefix, 0) == 0) return true;
  // A validator built with a sanitizer checks modules built with it, which
  // only such a host can load anyway.
  static const char* const kSanitizers[] = {"libasan.so", "libubsan.so", "libtsan.so"};
  if (kSanitizerBuild)
    for (const char* prefix : kSanitizers)
      if (soname.rfind(prefix, 0) == 0) return true;
  return false;
}

int entriesIn(const char* folder) {
  std::error_code ec;
  int n = 0;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) ++n;
  return n;
}

// Recorded by the raw entry-point checks: the answers the host gives.
VstIntPtr hostVersion = kVstVersion;
VstIntPtr VSTCALLBACK rawHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterVersion) return hostVersion;
  if (opcode == audioMasterGetSampleRate) return 44100;
  if (opcode == audioMasterGetBlockSize) return 512;
  return 0;
}

void closeRaw(AEffect* effect) {
  if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

void checkExports(Session& session) {
  Check check("A.exports", "the dynamic symbol table exports only VSTPluginMain and main, no fork, few libraries");
  const DynamicInfo info = readDynamic(session.path());
  if (!check.expect(info.error.empty(), info.error)) return;
  check.expect(info.exported.count("VSTPluginMain") == 1, "VSTPluginMain is not exported");
  check.expect(info.exported.count("main") == 1, "main is not exported (hosts that look for the old name)");
  std::string extra;
  int extras = 0;
  for (const std::string& name : info.exported)
    if (name != "VSTPluginMain" && name != "main" && extras++ < 5) extra += " " + name;
  check.expect(extras == 0, std::to_string(extras) + " more symbols exported:" + extra);
  for (const char* call : {"fork", "vfork", "__fork"})
    check.expect(info.referenced.count(call) == 0, std::string("the module calls ") + call);
  for (const std::string& library : info.needed)
    check.expect(allowedLibrary(library), "links " + library + ", which hosts may not have or may clash with");
  check.detail(std::to_string(info.exported.size()) + " exports, " + std::to_string(info.needed.size()) +
               " libraries");
}

void checkEntryPoint(Session& session) {
  Check check("A.entry", "the entry point answers an old host and a 2.4 host as documented");
  const VstPluginMainProc entry = session.module().entry();
  hostVersion = 0;
  AEffect* old = entry(&rawHost);
  if (session.profile().nullForOldHost)
    check.expect(old == nullptr, "a host answering version 0 got a plug-in");
  else if (old)
    check.expect(old->magic == kEffectMagic, "a host answering version 0 got a record without the magic");
  closeRaw(old);
  hostVersion = kVstVersion;
  AEffect* effect = entry(&rawHost);
  if (!check.expect(effect != nullptr, "a 2.4 host got no plug-in")) return;
  check.expect(effect->magic == kEffectMagic, "magic is not 'VstP'");
  closeRaw(effect);
}

void checkRecord(Session& session) {
  Check check("A.record", "the AEffect record holds what hosts rely on and nothing in host space");
  hostVersion = kVstVersion;
  AEffect* e = session.module().entry()(&rawHost);
  if (!check.expect(e != nullptr, "no plug-in")) return;
  check.expect(e->dispatcher && e->process && e->processReplacing && e->setParameter && e->getParameter,
               "a function pointer is null");
  check.expect(e->process != e->processReplacing, "process and processReplacing are the same function");
  if (e->flags & effFlagsCanDoubleReplacing)
    check.expect(e->processDoubleReplacing != nullptr, "double replacing declared without its function");
  check.expect((e->flags & effFlagsCanReplacing) != 0, "cannot process replacing");
  check.expect((e->flags & effFlagsIsSynth) != 0, "not declared an instrument");
  check.expect(e->resvd1 == 0 && e->resvd2 == 0, "host space resvd1/resvd2 not zero");
  check.expect(e->user == nullptr, "user (host space in practice) not null");
  check.expect(e->object != nullptr, "object is null");
  check.expect(std::all_of(std::begin(e->future), std::end(e->future), [](char c) { return c == 0; }),
               "future bytes not zero");
  check.expect(e->numOutputs > 0 && e->numOutputs <= 64, "numOutputs " + std::to_string(e->numOutputs));
  check.expect(e->numInputs >= 0 && e->numParams >= 0 && e->numPrograms >= 0, "negative counts");
  const Profile& p = session.profile();
  if (p.exact) {
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%X", static_cast<unsigned>(e->flags));
    check.expect(e->flags == p.flags, std::string("flags ") + flags);
    check.expect(e->numInputs == p.numInputs, "numInputs " + std::to_string(e->numInputs));
    check.expect(e->numOutputs == p.numOutputs, "numOutputs " + std::to_string(e->numOutputs));
    check.expect(e->numParams == p.numParams, "numParams " + std::to_string(e->numParams));
    check.expect(e->numPrograms == p.numPrograms, "numPrograms " + std::to_string(e->numPrograms));
    check.expect(e->uniqueID == p.uniqueId, "uniqueID " + std::to_string(e->uniqueID));
    check.expect(e->version == p.version, "version " + std::to_string(e->version));
    check.expect(e->initialDelay == 0, "initialDelay " + std::to_string(e->initialDelay));
  }
  check.detail(std::to_string(e->numParams) + " parameters, " + std::to_string(e->numPrograms) + " programs, " +
               std::to_string(e->numOutputs) + " outputs");
  closeRaw(e);
}

void checkManyInstances(Session& session) {
  Check check("A.instances", "16 instances processing interleaved, destroyed in random order");
  constexpr int kInstances = 16, kFrames = 256, kRounds = 40;
  std::vector<std::unique_ptr<vsthost::Plugin>> plugins;
  for (int i = 0; i < kInstances; ++i) {
    plugins.push_back(session.started(44100.0f, kFrames));
    if (!check.expect(plugins.back() != nullptr, "instance " + std::to_string(i) + " not created")) return;
  }
  Outputs out(plugins[0]->effect()->numOutputs, kFrames);
  EventList events;
  for (int round = 0; round < kRounds; ++round)
    for (int i = 0; i < kInstances; ++i) {
      events.clear();
      if (round % 8 == 0) events.add(vsthost::midiEvent(i, 0x90 | (i % 16), 35 + (i + round) % 12, 100));
      const std::string problem = processBlock(*plugins[static_cast<std::size_t>(i)], out, kFrames, &events);
      check.expect(problem.empty(), "instance " + std::to_string(i) + ": " + problem);
    }
  std::shuffle(plugins.begin(), plugins.end(), session.random());
  plugins.clear();
  count("blocks", kInstances * kRounds);
}

void checkUnloadCycles(Session& session) {
  Check check("A.unload", "20 unload and load cycles leave no thread, file or connection behind");
  session.unload();
  const int threads = entriesIn("/proc/self/task");
  const int files = entriesIn("/proc/self/fd");
  for (int cycle = 0; cycle < 20; ++cycle) {
    std::string error;
    auto module = vsthost::Module::load(session.path(), error);
    if (!check.expect(module != nullptr, "load " + std::to_string(cycle) + ": " + error)) break;
    {
      auto plugin = vsthost::Plugin::create(*module, {}, error);
      if (!check.expect(plugin != nullptr, "cycle " + std::to_string(cycle) + ": " + error)) break;
      plugin->start();
      Outputs out(plugin->effect()->numOutputs, 128);
      check.expect(processBlock(*plugin, out, 128).empty(), "cycle " + std::to_string(cycle) + " renders badly");
    }
  }
  // Threads a plug-in stops may take a moment to be gone from /proc.
  int threadsAfter = entriesIn("/proc/self/task");
  for (int wait = 0; wait < 100 && threadsAfter > threads; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    threadsAfter = entriesIn("/proc/self/task");
  }
  check.expect(threadsAfter <= threads, std::to_string(threadsAfter - threads) + " threads left running");
  const int filesAfter = entriesIn("/proc/self/fd");
  check.expect(filesAfter <= files, std::to_string(filesAfter - files) + " file descriptors left open");
  check.expect(session.reload(), "the module does not load again");
}

}  // namespace

void runLoadChecks(Session& session) {
  checkExports(session);
  checkEntryPoint(session);
  checkRecord(session);
  checkManyInstances(session);
  checkUnloadCycles(session);
}

}  // namespace zvx::validate
