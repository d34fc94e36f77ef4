// libFuzzer target: any bytes as the VST3 plug-in's component state, read in
// pieces of a size the input chooses (its first byte). Nothing may be read
// out of bounds; a state refused leaves the plug-in's own state byte for
// byte as it was; one accepted must play finite sound.
#include <cstdint>
#include <vector>

#include "formats/vst3/Vst3Plugin.h"
#include "fuzz/FuzzSupport.h"
#include "vst3host/MemoryStream.h"

namespace {

using namespace zvx::vst3;

std::vector<unsigned char> stateOf(IComponent& component) {
  zvx::vst3host::MemoryStream stream;
  if (component.getState(&stream) != kResultOk) zvx::fuzz::fail("the state could not be saved");
  return stream.bytes();
}

// Two blocks with a hit of every note at full velocity: every output finite.
bool playsFinite(IComponent& component) {
  void* processor = nullptr;
  component.queryInterface(IAudioProcessor::iid.data(), &processor);
  auto* audio = static_cast<IAudioProcessor*>(processor);
  ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
  audio->setupProcessing(setup);
  component.setActive(1);
  audio->setProcessing(1);
  std::vector<float> samples(6 * 512);
  float* channels[6];
  for (int c = 0; c < 6; ++c) channels[c] = samples.data() + c * 512;
  AudioBusBuffers buses[5] = {};
  buses[0].numChannels = 2;
  buses[0].channelBuffers32 = channels;
  for (int b = 1; b < 5; ++b) {
    buses[b].numChannels = 1;
    buses[b].channelBuffers32 = channels + 1 + b;
  }
  ProcessData data{};
  data.numSamples = 512;
  data.numOutputs = 5;
  data.outputs = buses;
  bool finite = true;
  for (int block = 0; block < 2; ++block) {
    audio->process(data);
    for (float s : samples) finite = finite && s == s && s - s == 0.0f;
  }
  audio->setProcessing(0);
  component.setActive(0);
  audio->release();
  return finite;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zvx::fuzz::dataFolder();
  if (size == 0) return 0;
  FUnknown* made = zvx::vst3::Vst3Plugin::create(nullptr);
  auto* component = static_cast<IComponent*>(made);
  const std::vector<unsigned char> before = stateOf(*component);
  zvx::vst3host::MemoryStream stream(std::vector<unsigned char>(data + 1, data + size), data[0]);
  if (component->setState(&stream) != kResultOk) {
    if (stateOf(*component) != before) zvx::fuzz::fail("a refused state changed the plug-in");
  } else if (!playsFinite(*component)) {
    zvx::fuzz::fail("an accepted state plays a non-finite sample");
  }
  component->release();
  return 0;
}
