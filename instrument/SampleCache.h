// The eight sample files in memory, read once for the whole process and
// shared read-only by the engines of every instance, so that choosing a file
// on any thread switches a voice to it at once.
//
// Off the audio thread, choosing a file reads it again from disk (a user who
// replaced it hears the new one); on the audio thread the cached copy plays
// and the cache's loader thread reads the file again soon after. A file whose
// content changed reaches every engine whole, between two samples. The cache
// lives from the first instance that asks for it to the last that lets it go,
// so no thread of it outlives the module.
//
// Threads: requestReload from any thread (it never blocks or allocates);
// everything else from any thread but the audio thread.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/Engine.h"
#include "platform/Messages.h"

namespace zvx {

class SampleCache {
 public:
  static constexpr int kFiles = PcmSlots::kSlots;
  // The sample files in number order: any voice can play any of them.
  static constexpr const char* kFileNames[kFiles] = {"BDA.wav", "SDA.wav", "HHA.wav", "CPA.wav",
                                                      "BDB.wav", "SDB.wav", "HHB.wav", "CPB.wav"};

  // The file a Menu value picks: the integer part of 7 x value, 0 to 7.
  static int fileFor(float value);

  // Reads a sample file from the data folder as a layer: 8-, 16-, 24- or
  // 32-bit integers or 32-bit floats, plain or extensible; mono, stereo mixed
  // as (L + R) / 2, or the first of more channels; at most 98000 frames, the
  // last frame read replaced by 0 and everything after it 0, on the 16-bit
  // scale converted by 1/32767; at the file's rate. The layer is null when
  // the file cannot be read; `messages` gets what the user is to be told, in
  // order (format problems that do not stop the read included).
  static std::unique_ptr<PcmBuffer> readLayer(int file, std::vector<platform::Message>& messages);
  // The same, with the messages shown here.
  static std::unique_ptr<PcmBuffer> readLayer(int file);

  // The cache of this process, made when no instance holds one.
  static std::shared_ptr<SampleCache> acquire();
  ~SampleCache();
  SampleCache(const SampleCache&) = delete;
  SampleCache& operator=(const SampleCache&) = delete;

  // `engine` gets every cached layer now and every changed one later, until
  // it unsubscribes (before it goes, its audio stopped).
  void subscribe(Engine& engine);
  void unsubscribe(Engine& engine);

  // Reads `file` from disk now, showing its messages on this thread. False
  // when it cannot be read; the cache then keeps the copy it had, if any.
  bool reload(int file);
  // Reads every file this cache has not read before.
  void readUnread();
  // Any thread: the loader thread reads `file` again within a few tens of
  // milliseconds, showing its messages there.
  void requestReload(int file) { requested_.fetch_or(1u << file, std::memory_order_relaxed); }


 private:
  // An engine and the layers it may be pointing at: its slots' current and
  // published buffers, and retired ones not collected yet.
  struct Subscriber {
    Engine* engine;
    std::array<std::vector<std::shared_ptr<const PcmBuffer>>, kFiles> held;
  };

  SampleCache();
  // With mutex_ held.
  void install(int file, std::unique_ptr<PcmBuffer> layer);
  void publish(Subscriber& subscriber, int file);
  void collectRetired(Subscriber& subscriber);
  void runLoader();

  std::array<std::mutex, kFiles> reading_;  // one read of a file at a time, so the newest read is installed last
  std::mutex mutex_;                        // guards everything below but requested_ and the loader's wait
  std::array<std::shared_ptr<const PcmBuffer>, kFiles> layers_;
  std::array<bool, kFiles> read_{};  // read once, successfully or not
  std::vector<Subscriber> subscribers_;

  std::atomic<unsigned> requested_{0};  // one bit per file
  std::mutex wakeMutex_;
  std::condition_variable wake_;
  bool stop_ = false;  // under wakeMutex_
  std::thread loader_;
};

}  // namespace zvx
