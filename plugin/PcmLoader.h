// Loads the eight sample files into the voices' sampled layers.
//
// A load asked for on any thread but the audio thread happens at once in that
// thread. A load asked for on the audio thread (a learned controller moving a
// Menu parameter) is done by the loader's own thread shortly after; there the
// latest request per voice wins. Either way the layer is filled in a fresh
// buffer and handed to the engine whole.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/Engine.h"

namespace zvx {

class PcmLoader {
 public:
  static constexpr int kFiles = 8;
  // The sample files in number order: any voice can play any of them.
  static constexpr const char* kFileNames[kFiles] = {"BDA.wav", "SDA.wav", "HHA.wav", "CPA.wav",
                                                      "BDB.wav", "SDB.wav", "HHB.wav", "CPB.wav"};

  explicit PcmLoader(Engine& engine);
  ~PcmLoader();
  PcmLoader(const PcmLoader&) = delete;
  PcmLoader& operator=(const PcmLoader&) = delete;

  // Not the audio thread: reads file `file` into `voice`'s layer now, showing
  // any message here. The voice keeps its layer when the file cannot be read.
  void load(int voice, int file);
  // Audio thread: the loader thread will load it. Never blocks or allocates.
  void request(int voice, int file);

  // The file a Menu value picks: the integer part of 7 x value, 0 to 7.
  static int fileFor(float value);

  // Reads a sample file from the data folder as a layer: its first channel,
  // at most 98000 samples, the last sample read replaced by 0 and everything
  // after it 0, converted by 1/32767. Null when it cannot be read; the user
  // is told why (format problems that do not stop the load are told too).
  static std::unique_ptr<PcmBuffer> readLayer(int file);

 private:
  void run();

  Engine& engine_;
  std::array<std::atomic<int>, kNumVoices> requested_;  // -1: none
  std::mutex mutex_;                                     // guards stop_ for the wait
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace zvx
