// Counts what the code under test does while a thread is marked as the audio
// thread: allocations, file opens and mutex locks. The counting replaces the
// global allocation functions and interposes the C library's open calls and
// pthread_mutex_lock in the test program, so the plug-in's calls reach them
// too, in-process or loaded from its module.
#pragma once

#include <cstddef>

namespace zvx::test {

struct AudioThreadCounts {
  std::size_t allocations = 0;
  std::size_t fileOpens = 0;
  std::size_t locks = 0;
};

// Marks the calling thread as the audio thread while alive.
class AudioThreadScope {
 public:
  AudioThreadScope();
  ~AudioThreadScope();
};

// What marked threads have done since the program started.
AudioThreadCounts audioThreadCounts();

}  // namespace zvx::test
