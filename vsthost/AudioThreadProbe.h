// Counts what code does while a thread is marked as the audio thread:
// allocations and frees, file I/O, locks and waits, sleeps and Xlib calls.
// Link the object library zvx_audio_probe into a program (with -rdynamic) and
// the interposed functions catch the calls of every module it loads too.
//
// Under AddressSanitizer or ThreadSanitizer the malloc family belongs to the
// sanitizer: then only operator new/delete are counted, and
// countsAllocations() is false.
#pragma once

#include <cstddef>

namespace zvx::vsthost {

struct AudioThreadCounts {
  std::size_t allocations = 0;  // malloc family, new and delete
  std::size_t fileOpens = 0;    // opening files
  std::size_t fileIo = 0;       // reading, writing, closing
  std::size_t locks = 0;        // mutexes, rwlocks, semaphores, condition waits
  std::size_t sleeps = 0;       // sleep, usleep, nanosleep, clock_nanosleep
  std::size_t xlib = 0;         // calls into Xlib

  std::size_t total() const { return allocations + fileOpens + fileIo + locks + sleeps + xlib; }
};

// Marks the calling thread as the audio thread while alive.
class AudioThreadScope {
 public:
  AudioThreadScope();
  ~AudioThreadScope();
  AudioThreadScope(const AudioThreadScope&) = delete;
  AudioThreadScope& operator=(const AudioThreadScope&) = delete;
};

// Whether the calling thread is marked now.
bool onMarkedThread();

// What marked threads have done since the program started.
AudioThreadCounts audioThreadCounts();
// The name of the first call counted on a marked thread, or null.
const char* firstAudioThreadCall();
// Whether malloc and free themselves are interposed (not under a sanitizer).
bool countsAllocations();

}  // namespace zvx::vsthost
