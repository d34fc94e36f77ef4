// C: the orders in which real hosts drive a plug-in, replayed, then seeded
// random orders of everything a host may do between creation and close.
#include <functional>

#include "tools/zvx-validate/Validator.h"

namespace zvx::validate {
namespace {

constexpr int kMaxFrames = 4096;

// One host's session with a plug-in: renders verify every block.
class Driver {
 public:
  Driver(Check& check, vsthost::Plugin& plugin, std::string host)
      : check_(check), plugin_(plugin), host_(std::move(host)), out_(plugin.effect()->numOutputs, 2 * kMaxFrames) {}

  VstIntPtr call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
    return plugin_.dispatch(opcode, index, value, ptr, opt);
  }
  void queries() {
    char text[256];
    call(effGetEffectName, 0, 0, text);
    call(effGetVendorString, 0, 0, text);
    call(effGetProductString, 0, 0, text);
    call(effGetVendorVersion);
    call(effGetVstVersion);
    call(effGetPlugCategory);
    call(effGetProgram);
    call(effGetProgramName, 0, 0, text);
    for (const char* can : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstMidiEvent", "hasCockosExtensions"})
      plugin_.canDo(can);
  }
  void parameters() {
    char text[256];
    for (int p = 0; p < plugin_.effect()->numParams; ++p) {
      call(effGetParamName, p, 0, text);
      call(effGetParamLabel, p, 0, text);
      call(effGetParamDisplay, p, 0, text);
      call(effCanBeAutomated, p);
      VstParameterProperties props{};
      call(effGetParameterProperties, p, 0, &props);
    }
  }
  void pins() {
    for (int i = 0; i < plugin_.effect()->numOutputs; ++i) {
      VstPinProperties props{};
      call(effGetOutputProperties, i, 0, &props);
    }
    for (int i = 0; i < plugin_.effect()->numInputs; ++i) {
      VstPinProperties props{};
      call(effGetInputProperties, i, 0, &props);
    }
  }
  void programs() {
    char text[256];
    for (int i = 0; i < plugin_.effect()->numPrograms; ++i) call(effGetProgramNameIndexed, i, 0, text);
  }
  void chunk(int index) {
    void* data = nullptr;
    const VstIntPtr size = call(effGetChunk, index, 0, &data);
    if (size > 0 && data) {
      std::vector<unsigned char> copy(static_cast<const unsigned char*>(data),
                                      static_cast<const unsigned char*>(data) + size);
      call(effSetChunk, index, size, copy.data());
    }
  }
  void setProgram(int program) {
    call(effBeginSetProgram);
    call(effSetProgram, 0, program);
    call(effEndSetProgram);
  }
  // Renders `blocks` blocks of `frames`, with a note now and then.
  void process(int blocks, int frames, bool events = true) {
    for (int b = 0; b < blocks; ++b) {
      events_.clear();
      if (events && (blocks_ % 7) == 0) events_.add(vsthost::midiEvent(0, 0x90, 35 + blocks_ % 12, 110));
      if (events && (blocks_ % 7) == 3) events_.add(vsthost::midiEvent(frames / 2, 0x80, 35 + (blocks_ - 3) % 12, 0));
      const std::string problem = processBlock(plugin_, out_, frames, &events_);
      check_.expect(problem.empty(), host_ + ": " + problem);
      ++blocks_;
    }
  }
  int blocks() const { return blocks_; }

 private:
  Check& check_;
  vsthost::Plugin& plugin_;
  std::string host_;
  Outputs out_;
  EventList events_;
  int blocks_ = 0;
};

struct HostOrder {
  const char* name;
  vsthost::HostConfig config;
  std::function<void(Driver&, vsthost::Plugin&)> run;
};

std::vector<HostOrder> hostOrders() {
  vsthost::HostConfig unknownRate;
  unknownRate.sampleRate = 0;
  unknownRate.blockSize = 0;
  return {
      {"REAPER", {}, [](Driver& d, vsthost::Plugin&) {
         d.call(effOpen);
         d.call(effSetSampleRate, 0, 0, nullptr, 48000.0f);
         d.call(effSetBlockSize, 0, 512);
         d.queries();
         d.call(effMainsChanged, 0, 1);
         d.call(effStartProcess);
         d.call(effSetProcessPrecision, 0, 1);
         d.chunk(0);
         d.setProgram(0);
         d.parameters();
         for (int i = 0; i < 3; ++i) {
           d.call(effIdle);
           d.process(4, 512);
           d.call(effMainsChanged, 0, 0);
           d.call(effMainsChanged, 0, 1);
         }
         d.process(8, 512);
         d.call(effStopProcess);
         d.call(effMainsChanged, 0, 0);
       }},
      {"JUCE host", {}, [](Driver& d, vsthost::Plugin& p) {
         d.call(effIdentify);
         d.call(effSetSampleRate, 0, 0, nullptr, 44100.0f);
         d.call(effSetBlockSize, 0, 1024);
         d.call(effOpen);
         d.pins();
         for (int i = 0; i < p.effect()->numParams; ++i) d.call(effCanBeAutomated, i);
         d.call(effMainsChanged, 0, 1);
         d.call(effStartProcess);
         d.process(6, 1024);
         d.process(6, 333);  // smaller than announced
         d.call(effStopProcess);
         d.call(effMainsChanged, 0, 0);
       }},
      {"Carla", {}, [](Driver& d, vsthost::Plugin&) {
         d.call(effOpen);
         d.queries();
         d.parameters();
         d.programs();
         d.call(effSetSampleRate, 0, 0, nullptr, 44100.0f);
         d.call(effSetBlockSize, 0, 256);
         d.call(effMainsChanged, 0, 1);  // a dummy activation to read the latency
         d.call(effMainsChanged, 0, 0);
         d.setProgram(1);
         d.chunk(0);
         d.call(effMainsChanged, 0, 1);
         d.process(10, 256);
         d.call(effMainsChanged, 0, 0);
       }},
      {"Qtractor", {}, [](Driver& d, vsthost::Plugin&) {
         d.call(effOpen);
         d.queries();
         d.call(effSetSampleRate, 0, 0, nullptr, 96000.0f);
         d.call(effSetBlockSize, 0, 128);
         d.call(effMainsChanged, 0, 1);
         d.process(20, 128);
         d.call(effMainsChanged, 0, 0);
       }},
      {"Ardour", {}, [](Driver& d, vsthost::Plugin& p) {
         d.call(effOpen);
         d.call(effSetSampleRate, 0, 0, nullptr, 48000.0f);
         d.call(effSetBlockSize, 0, 1024);
         d.queries();
         d.call(effMainsChanged, 0, 1);
         d.process(4, 1024);
         // The GUI thread applies a pending program and a program chunk.
         d.setProgram(2 % std::max(1, p.effect()->numPrograms));
         d.chunk(1);
         d.process(4, 700);
         d.call(effMainsChanged, 0, 0);
       }},
      {"Sushi", {}, [](Driver& d, vsthost::Plugin& p) {
         // Sushi masks the flags in place and keeps its own pointer in `user`.
         AEffect* e = p.effect();
         e->flags &= effFlagsProgramChunks;
         e->user = &p;
         d.call(effOpen);
         d.call(effSetSampleRate, 0, 0, nullptr, 48000.0f);
         d.call(effSetBlockSize, 0, 64);
         d.parameters();
         d.call(effMainsChanged, 0, 1);
         d.call(effStartProcess);
         d.process(50, 64);
         d.call(effMainsChanged, 0, 0);
         d.call(effStopProcess);
       }},
      {"a host that knows no rate at open", unknownRate, [](Driver& d, vsthost::Plugin& p) {
         d.call(effSetSampleRate, 0, 0, nullptr, 0.0f);
         d.call(effSetBlockSize, 0, 0);
         d.call(effOpen);
         d.call(effOpen);  // twice, as some hosts do
         p.config().sampleRate = 44100;
         p.config().blockSize = 512;
         d.call(effSetSampleRate, 0, 0, nullptr, 44100.0f);
         d.call(effSetBlockSize, 0, 512);
         d.process(4, 512);  // before any resume
         d.call(effMainsChanged, 0, 1);
         d.process(4, 512);
       }},
  };
}

void checkHostOrders(Session& session) {
  Check check("C.hosts", "the call orders of REAPER, JUCE, Carla, Qtractor, Ardour and Sushi replayed");
  int blocks = 0;
  const std::vector<HostOrder> orders = hostOrders();
  for (const HostOrder& order : orders) {
    auto plugin = session.create(order.config);
    if (!check.expect(plugin != nullptr, std::string(order.name) + ": no plug-in")) continue;
    Driver driver(check, *plugin, order.name);
    order.run(driver, *plugin);
    blocks += driver.blocks();
    plugin->close();
  }
  count("blocks", blocks);
  check.detail(std::to_string(orders.size()) + " hosts, " + std::to_string(blocks) + " blocks");
}

void checkRandomOrders(Session& session) {
  Check check("C.random", "seeded random call orders: reopen, close while resumed, toggles, rates while running");
  constexpr int kSequences = 150;
  const float rates[] = {22050.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f};
  std::mt19937& random = session.random();
  int steps = 0, blocks = 0;
  for (int sequence = 0; sequence < kSequences; ++sequence) {
    auto plugin = session.create();
    if (!check.expect(plugin != nullptr, "no plug-in")) return;
    Driver d(check, *plugin, "sequence " + std::to_string(sequence));
    int blockSize = 512;
    const int length = 5 + static_cast<int>(random() % 25);
    for (int step = 0; step < length; ++step, ++steps) {
      switch (random() % 14) {
        case 0: d.call(effOpen); break;
        case 1: d.call(effMainsChanged, 0, 1); break;
        case 2: d.call(effMainsChanged, 0, 0); break;
        case 3: d.call(effStartProcess); break;
        case 4: d.call(effStopProcess); break;
        case 5: d.call(effSetSampleRate, 0, 0, nullptr, rates[random() % 6]); break;
        case 6:
          blockSize = 1 + static_cast<int>(random() % kMaxFrames);
          d.call(effSetBlockSize, 0, blockSize);
          break;
        case 7:
        case 8:
        case 9: d.process(1 + static_cast<int>(random() % 4), static_cast<int>(random() % (2 * blockSize + 1))); break;
        case 10: plugin->setParameter(static_cast<int>(random() % std::max(1, plugin->effect()->numParams)),
                                      static_cast<float>(random() % 1001) / 1000.0f); break;
        case 11: d.setProgram(static_cast<int>(random() % std::max(1, plugin->effect()->numPrograms))); break;
        case 12: d.chunk(static_cast<int>(random() % 2)); break;
        case 13: d.call(effEditIdle); d.call(effIdle); break;
      }
    }
    blocks += d.blocks();
    plugin->close();  // whatever state it is in
  }
  count("blocks", blocks);
  check.detail(std::to_string(kSequences) + " sequences, " + std::to_string(steps) + " steps, seed " +
               std::to_string(session.seed()));
}

void checkPrecisionAndSpeakers(Session& session) {
  Check check("C.formats", "double precision and foreign speaker arrangements are refused");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  AEffect* e = plugin->effect();
  if (!(e->flags & effFlagsCanDoubleReplacing))
    check.expect(plugin->dispatch(effSetProcessPrecision, 0, 1) == 0, "64-bit processing accepted without support");
  // Room for eight speakers behind each header (type, channel count).
  struct Arrangement {
    VstInt32 type = 0;
    VstInt32 numChannels = 0;
    unsigned char speakers[8 * 112] = {};
  };
  const int outputs = e->numOutputs;
  auto offer = [&](int ins, int outs) {
    Arrangement in, out;
    in.type = ins == 0 ? -1 : -2;
    in.numChannels = ins;
    out.type = -2;
    out.numChannels = outs;
    return plugin->dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
  };
  const VstIntPtr own = offer(e->numInputs, outputs);
  check.expect(own == 0 || own == 1, "its own arrangement answered " + std::to_string(own));
  for (auto [ins, outs] : {std::pair{2, 2}, {0, 2}, {0, outputs + 2}, {1, 1}, {8, 8}})
    if (ins != e->numInputs || outs != outputs)
      check.expect(offer(ins, outs) == 0, std::to_string(ins) + " in, " + std::to_string(outs) + " out accepted");
  check.expect(e->numOutputs == outputs, "numOutputs changed to " + std::to_string(e->numOutputs));
  Outputs out(e->numOutputs, 256);
  check.expect(processBlock(*plugin, out, 256).empty(), "renders badly afterwards");
}

}  // namespace

void runLifecycleChecks(Session& session) {
  checkHostOrders(session);
  checkRandomOrders(session);
  checkPrecisionAndSpeakers(session);
}

}  // namespace zvx::validate
