// The standalone instrument's JACK client: one MIDI input, named audio
// outputs, the process callback handed to a Player, the server's rate and
// period followed, xruns counted. Nothing here allocates, locks or waits
// inside the process callback.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace zvx::standalone {

class JackClient {
 public:
  // What runs in the process callback, on JACK's real-time thread.
  class Player {
   public:
    // `midi` is the MIDI input's buffer for this period; `outputs` the
    // outputs' buffers, `frames` long.
    virtual void play(void* midi, float* const* outputs, int frames) = 0;
    // The server's rate changed (or is first known); before the next play.
    virtual void rateChanged(double rate) = 0;

   protected:
    ~Player() = default;
  };

  // Connects to the JACK server (JACK_DEFAULT_SERVER names it, else the
  // default one) without starting one, as a client of exactly that name;
  // null with the reason in `error`, and `nameTaken` set when the server
  // already has a client of that name.
  static std::unique_ptr<JackClient> open(const std::string& name, const std::vector<std::string>& outputs,
                                          Player& player, std::string& error, bool* nameTaken = nullptr);
  // The longest client name the server takes.
  static std::size_t longestName();
  ~JackClient();
  JackClient(const JackClient&) = delete;
  JackClient& operator=(const JackClient&) = delete;

  bool activate(std::string& error);
  void deactivate();

  // Full port names ("zvx:midi_in").
  std::string midiInputName() const;
  std::string outputName(std::size_t index) const;
  std::size_t outputCount() const { return outputs_.size(); }
  // Connects `from` to `to`; false with the reason when a port does not exist
  // or JACK refuses. An existing connection is fine.
  bool connect(const std::string& from, const std::string& to, std::string& error);
  // The physical ports that capture MIDI, and those that play audio, in the
  // server's order.
  std::vector<std::string> physicalMidiSources() const;
  std::vector<std::string> physicalAudioSinks() const;

  double sampleRate() const;
  int period() const;
  long xruns() const { return xruns_.load(std::memory_order_relaxed); }
  // The server went away (shut down, or dropped us); the reason.
  bool lost(std::string& reason) const;
  // The server moved to a rate that cannot be played; that rate.
  bool refusedRate(double& rate) const;

 private:
  JackClient(jack_client_t* client, Player& player) : client_(client), player_(player) {}
  static int onProcess(jack_nframes_t frames, void* self);
  static int onRate(jack_nframes_t rate, void* self);
  static int onXrun(void* self);
  static void onShutdown(jack_status_t status, const char* reason, void* self);
  std::vector<std::string> physicalPorts(const char* type, unsigned long flags) const;

  jack_client_t* client_;
  Player& player_;
  jack_port_t* midiIn_ = nullptr;
  std::vector<jack_port_t*> outputs_;
  std::vector<float*> buffers_;  // the process callback's, sized once
  std::atomic<long> xruns_{0};
  std::atomic<bool> lost_{false};
  static constexpr jack_nframes_t kNoRefusedRate = 0xFFFFFFFFu;
  std::atomic<jack_nframes_t> refusedRate_{kNoRefusedRate};
  char lostReason_[256] = {};
  bool active_ = false;
};

}  // namespace zvx::standalone
