#include "plugin/SampleCache.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <string>

#include "engine/FloatMath.h"
#include "plugin/InstallNotice.h"
#include "storage/DataFolder.h"
#include "storage/WavFile.h"

namespace zvx {
namespace {

// The loader thread looks for requests this often; the audio thread never wakes it.
constexpr auto kPollInterval = std::chrono::milliseconds(20);

// The process's cache while some instance holds it.
std::mutex cacheMutex;
std::weak_ptr<SampleCache> processCache;

void forget(std::vector<std::shared_ptr<const PcmBuffer>>& held, const PcmBuffer* layer) {
  auto found = std::find_if(held.begin(), held.end(), [&](const auto& h) { return h.get() == layer; });
  if (found != held.end()) held.erase(found);
}

}  // namespace

int SampleCache::fileFor(float value) { return std::clamp(math::truncateToInt(7.0f * value), 0, kFiles - 1); }

std::unique_ptr<PcmBuffer> SampleCache::readLayer(int file, std::vector<platform::Message>& messages) {
  auto tell = [&](const char* text, const char* caption) { messages.push_back({text, caption}); };
  std::string folder;
  if (!findDataFolder("ZVX", folder)) {
    if (InstallNotice::missing()) tell(kNotInstalled, kNotInstalledCaption);
    return nullptr;
  }
  InstallNotice::found();
  WavFile wav;
  if (!wav.open(folder + kFileNames[file])) {
    tell(wav.lastError(), "Can't open PCM file!");
    return nullptr;
  }
  if (wav.sampleRate() != 44100) tell("Error!", "One WAV file is not 44100 Hz");
  if (wav.channels() != 1) tell("Error!", "One WAV file is not MONO");
  if (wav.bitsPerSample() != 16) tell("Error!", "One WAV file is not 16 Bit");

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
    tell(error, "Can't read PCM file!");
    return nullptr;
  }
  std::fill(scratch.begin() + (frames - 1), scratch.end(), 0);

  auto buffer = std::make_unique<PcmBuffer>();
  for (int i = 0; i < PcmBuffer::kSize; ++i) buffer->samples[i] = static_cast<float>(scratch[i]) / 32767.0f;
  return buffer;
}

std::unique_ptr<PcmBuffer> SampleCache::readLayer(int file) {
  std::vector<platform::Message> messages;
  std::unique_ptr<PcmBuffer> layer = readLayer(file, messages);
  for (const platform::Message& message : messages) platform::showMessage(message.text, message.caption, message.icon);
  return layer;
}

std::shared_ptr<SampleCache> SampleCache::acquire() {
  std::lock_guard<std::mutex> lock(cacheMutex);
  std::shared_ptr<SampleCache> cache = processCache.lock();
  if (!cache) {
    cache.reset(new SampleCache);
    processCache = cache;
  }
  return cache;
}

SampleCache::SampleCache() {
  loader_ = std::thread([this] { runLoader(); });
}

SampleCache::~SampleCache() {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    stop_ = true;
  }
  wake_.notify_all();
  loader_.join();
}

void SampleCache::subscribe(Engine& engine) {
  std::lock_guard<std::mutex> lock(mutex_);
  subscribers_.push_back(Subscriber{&engine, {}});
  for (int file = 0; file < kFiles; ++file)
    if (layers_[file]) publish(subscribers_.back(), file);
}

void SampleCache::unsubscribe(Engine& engine) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(subscribers_, [&](const Subscriber& s) { return s.engine == &engine; });
}

bool SampleCache::reload(int file) {
  std::vector<platform::Message> messages;
  bool readable = false;
  {
    std::lock_guard<std::mutex> reading(reading_[file]);
    std::unique_ptr<PcmBuffer> layer = readLayer(file, messages);
    readable = layer != nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    read_[file] = true;
    if (layer) install(file, std::move(layer));
  }
  for (const platform::Message& message : messages) platform::showMessage(message.text, message.caption, message.icon);
  return readable;
}

void SampleCache::readUnread() {
  for (int file = 0; file < kFiles; ++file) {
    bool unread;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      unread = !read_[file];
    }
    if (unread) reload(file);
  }
}

// The same content again changes nothing: no engine sees a new buffer.
void SampleCache::install(int file, std::unique_ptr<PcmBuffer> layer) {
  const std::shared_ptr<const PcmBuffer>& cached = layers_[file];
  if (cached && std::memcmp(cached->samples.data(), layer->samples.data(), sizeof layer->samples) == 0) return;
  layers_[file] = std::move(layer);
  for (Subscriber& subscriber : subscribers_) publish(subscriber, file);
}

void SampleCache::publish(Subscriber& subscriber, int file) {
  collectRetired(subscriber);
  auto& held = subscriber.held[file];
  const std::shared_ptr<const PcmBuffer>& layer = layers_[file];
  held.push_back(layer);
  if (const PcmBuffer* unseen = subscriber.engine->publishPcm(file, layer.get())) forget(held, unseen);
}

void SampleCache::collectRetired(Subscriber& subscriber) {
  for (int file = 0; file < kFiles; ++file) {
    const PcmBuffer* retired = subscriber.engine->takeRetiredPcm(file);
    if (retired) forget(subscriber.held[file], retired);
  }
}

std::size_t SampleCache::bytesHeld() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::set<const PcmBuffer*> layers;
  for (const auto& layer : layers_)
    if (layer) layers.insert(layer.get());
  for (const Subscriber& subscriber : subscribers_)
    for (const auto& held : subscriber.held)
      for (const auto& layer : held) layers.insert(layer.get());
  return layers.size() * sizeof(PcmBuffer);
}

// Reads what audio threads asked for, and frees the layers engines let go.
void SampleCache::runLoader() {
  std::unique_lock<std::mutex> wait(wakeMutex_);
  while (!stop_) {
    wake_.wait_for(wait, kPollInterval, [this] { return stop_; });
    if (stop_) break;
    wait.unlock();
    const unsigned requested = requested_.exchange(0, std::memory_order_acquire);
    for (int file = 0; file < kFiles; ++file)
      if (requested & (1u << file)) reload(file);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (Subscriber& subscriber : subscribers_) collectRetired(subscriber);
    }
    wait.lock();
  }
}

}  // namespace zvx
