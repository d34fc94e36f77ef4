#include "plugin/PcmLoader.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "engine/FloatMath.h"
#include "host/platform/Messages.h"
#include "storage/DataFolder.h"
#include "storage/WavFile.h"

namespace zvx {
namespace {

// The loader thread looks for requests this often; the audio thread never wakes it.
constexpr auto kPollInterval = std::chrono::milliseconds(20);

void show(const char* text, const char* caption) { platform::showMessage(text, caption); }

}  // namespace

std::unique_ptr<PcmBuffer> PcmLoader::readLayer(int file) {
  std::string folder;
  if (!findDataFolder("ZVX", folder)) {
    show("ZVX is not installed correctly", "Error!");
    return nullptr;
  }
  WavFile wav;
  if (!wav.open(folder + kFileNames[file])) {
    show(wav.lastError(), "Can't open PCM file!");
    return nullptr;
  }
  if (wav.sampleRate() != 44100) show("Error!", "One WAV file is not 44100 Hz");
  if (wav.channels() != 1) show("Error!", "One WAV file is not MONO");
  if (wav.bitsPerSample() != 16) show("Error!", "One WAV file is not 16 Bit");

  // Whole sample frames in the data chunk, at most a buffer's worth.
  const std::uint32_t channels = wav.channels();
  const std::uint32_t frames =
      channels == 0 ? 0 : std::min<std::uint32_t>(wav.dataSize() / (2 * channels), PcmBuffer::kSize);
  std::vector<std::int16_t> scratch(PcmBuffer::kSize, 0);
  std::array<std::int16_t, 4096> block;
  const std::uint32_t framesPerBlock = channels == 0 ? 0 : static_cast<std::uint32_t>(block.size()) / channels;
  const char* error = nullptr;
  // A data chunk without one whole sample is a failed read, not an empty layer.
  if (frames == 0 || framesPerBlock == 0)
    error = wav.bitsPerSample() != 16 ? "Sample size mismatch" : "Couldn't read samples";
  for (std::uint32_t done = 0; !error && done < frames;) {
    const std::uint32_t count = std::min(framesPerBlock, frames - done);
    if (!wav.read16(block.data(), block.size(), count)) {
      error = wav.lastError();
      break;
    }
    for (std::uint32_t i = 0; i < count; ++i) scratch[done + i] = block[i * channels];
    done += count;
  }
  if (error) {
    show(error, "Can't read PCM file!");
    return nullptr;
  }
  std::fill(scratch.begin() + (frames - 1), scratch.end(), 0);

  auto buffer = std::make_unique<PcmBuffer>();
  for (int i = 0; i < PcmBuffer::kSize; ++i) buffer->samples[i] = static_cast<float>(scratch[i]) / 32767.0f;
  return buffer;
}

PcmLoader::PcmLoader(Engine& engine) : engine_(engine) {
  for (auto& request : requested_) request.store(-1, std::memory_order_relaxed);
  thread_ = std::thread([this] { run(); });
}

PcmLoader::~PcmLoader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

int PcmLoader::fileFor(float value) { return std::clamp(math::truncateToInt(7.0f * value), 0, kFiles - 1); }

void PcmLoader::load(int voice, int file) {
  std::unique_ptr<PcmBuffer> buffer = readLayer(file);
  if (buffer) engine_.publishPcm(voice, std::move(buffer));
  engine_.releaseRetiredPcm();
}

void PcmLoader::request(int voice, int file) { requested_[voice].store(file, std::memory_order_release); }

void PcmLoader::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    wake_.wait_for(lock, kPollInterval, [this] { return stop_; });
    if (stop_) break;
    lock.unlock();
    for (int v = 0; v < kNumVoices; ++v) {
      const int file = requested_[v].exchange(-1, std::memory_order_acquire);
      if (file >= 0) load(v, file);
    }
    engine_.releaseRetiredPcm();
    lock.lock();
  }
}

}  // namespace zvx
