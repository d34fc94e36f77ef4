#include "instrument/SampleCache.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <string>

#include "engine/FloatMath.h"
#include "instrument/InstallNotice.h"
#include "storage/DataFolder.h"
#include "storage/WavFile.h"

namespace zvx {
namespace {

// The loader thread looks for requests this often; the audio thread never wakes it.
constexpr auto kPollInterval = std::chrono::milliseconds(20);

constexpr std::size_t kReadBlockBytes = 16384;

// The process's cache while some instance holds it.
std::mutex cacheMutex;
std::weak_ptr<SampleCache> processCache;

void forget(std::vector<std::shared_ptr<const PcmBuffer>>& held, const PcmBuffer* layer) {
  auto found = std::find_if(held.begin(), held.end(), [&](const auto& h) { return h.get() == layer; });
  if (found != held.end()) held.erase(found);
}

// Reads the file's frames into `layer`: at most a layer's worth, the last
// frame read replaced by 0 and everything after it 0, converted by 1/32767 from
// the 16-bit scale. Answers the error text when they cannot be read.
const char* readSamples(WavFile& wav, const SampleEncoding& encoding, PcmBuffer& layer) {
  if (!encoding.readable()) return "Sample size mismatch";
  const SampleDecoder decoder(encoding, wav.channels());
  const std::size_t frameBytes = decoder.frameBytes();
  // A data chunk without one whole frame is a failed read, not an empty layer.
  const std::size_t frames = frameBytes == 0 ? 0 : std::min<std::size_t>(wav.dataSize() / frameBytes, PcmBuffer::kSize);
  if (frames == 0) return "Couldn't read samples";
  // Read a block of frames at a time; a frame of many channels gets a block of its own.
  std::vector<unsigned char> block(std::max(kReadBlockBytes, frameBytes));
  const std::size_t framesPerBlock = block.size() / frameBytes;
  for (std::size_t done = 0; done < frames;) {
    const std::size_t count = std::min(framesPerBlock, frames - done);
    if (!wav.readBytes(block.data(), count * frameBytes)) return wav.lastError();
    for (std::size_t i = 0; i < count; ++i) layer.samples[done + i] = decoder.frame(&block[i * frameBytes]) / 32767.0f;
    done += count;
  }
  std::fill(layer.samples.begin() + static_cast<std::ptrdiff_t>(frames - 1), layer.samples.end(), 0.0f);
  return nullptr;
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
  // Every readable encoding, mono or stereo, at any rate, loads as its 16-bit
  // mono conversion would, without a word; the warnings are left for what
  // cannot be converted.
  const SampleEncoding encoding = wav.encoding();
  if (wav.sampleRate() == 0) tell("Error!", "One WAV file is not 44100 Hz");
  if (wav.channels() == 0 || wav.channels() > 2) tell("Error!", "One WAV file is not MONO");
  if (!encoding.readable()) tell("Error!", "One WAV file is not 16 Bit");

  auto layer = std::make_unique<PcmBuffer>();
  if (const char* error = readSamples(wav, encoding, *layer)) {
    tell(error, "Can't read PCM file!");
    return nullptr;
  }
  // A file without a rate plays as if it were 44.1 kHz.
  if (wav.sampleRate() != 0) layer->rate = static_cast<float>(wav.sampleRate() / 44100.0);
  return layer;
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
  if (cached && cached->rate == layer->rate &&
      std::memcmp(cached->samples.data(), layer->samples.data(), sizeof layer->samples) == 0)
    return;
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
