#include "standalone/JackClient.h"

#include <jack/midiport.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/SampleRate.h"

namespace zvx::standalone {
namespace {

// What jack_client_open's status says, in words.
std::string describe(jack_status_t status) {
  std::string words;
  const struct {
    int bit;
    const char* text;
  } reasons[] = {
      {JackServerFailed, "no server to connect to"},
      {JackServerError, "the server did not answer"},
      {JackVersionError, "the server speaks another protocol version"},
      {JackShmFailure, "no access to the server's shared memory"},
      {JackInitFailure, "the client could not be set up"},
      {JackNameNotUnique, "the client name is taken"},
      {JackInvalidOption, "an option the server does not take"},
  };
  for (const auto& reason : reasons) {
    if (!(status & reason.bit)) continue;
    if (!words.empty()) words += ", ";
    words += reason.text;
  }
  return words.empty() ? "an unknown failure" : words;
}

// JACK's own complaints while we look for a server repeat what the error we
// give says; after that they are worth seeing.
std::atomic<bool> opening{false};
void reportJackError(const char* text) {
  if (!opening.load()) std::fprintf(stderr, "zvx: JACK: %s\n", text);
}

}  // namespace

std::unique_ptr<JackClient> JackClient::open(const std::string& name, const std::vector<std::string>& outputs,
                                             Player& player, std::string& error, bool* nameTaken) {
  jack_set_error_function(&reportJackError);
  jack_status_t status{};
  opening.store(true);
  jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
  opening.store(false);
  // Only the exact name: a client renamed "zvx-01" behind the user's back would
  // appear in the patchbay beside the other under a name nobody chose, and the
  // connections a session manager restores by name would miss it. (jackd2
  // answers JackUseExactName with a bare failure, so the renaming is asked
  // for and undone.)
  const bool renamed = client && ((status & JackNameNotUnique) || name != jack_get_client_name(client));
  if (nameTaken) *nameTaken = renamed;
  if (renamed) {
    jack_client_close(client);
    error = "the JACK server already has a client named \"" + name + "\"";
    return nullptr;
  }
  if (!client) {
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    error = "cannot connect to the JACK server \"" + std::string(server && *server ? server : "default") +
            "\" (JACK says: " + describe(status) +
            "). Start one, for example with `jackd -d alsa`, or on a PipeWire desktop run `pw-jack zvx`.";
    return nullptr;
  }
  std::unique_ptr<JackClient> self(new JackClient(client, player));
  self->midiIn_ = jack_port_register(client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  for (const std::string& output : outputs) {
    jack_port_t* port = jack_port_register(client, output.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (!port) break;
    self->outputs_.push_back(port);
  }
  if (!self->midiIn_ || self->outputs_.size() != outputs.size()) {
    error = "JACK refused to register the ports";
    return nullptr;
  }
  self->buffers_.resize(outputs.size());
  jack_set_process_callback(client, &JackClient::onProcess, self.get());
  jack_set_sample_rate_callback(client, &JackClient::onRate, self.get());
  jack_set_xrun_callback(client, &JackClient::onXrun, self.get());
  jack_on_info_shutdown(client, &JackClient::onShutdown, self.get());
  return self;
}

std::size_t JackClient::longestName() { return static_cast<std::size_t>(jack_client_name_size()) - 1; }

JackClient::~JackClient() {
  deactivate();
  jack_client_close(client_);
}

bool JackClient::activate(std::string& error) {
  if (!isUsableSampleRate(sampleRate())) {
    error = "JACK runs at " + std::to_string(jack_get_sample_rate(client_)) +
            " Hz, a sample rate zvx cannot play (it plays up to 768000 Hz)";
    return false;
  }
  player_.rateChanged(sampleRate());
  if (jack_activate(client_) != 0) {
    error = "JACK did not start the client";
    return false;
  }
  active_ = true;
  return true;
}

void JackClient::deactivate() {
  if (active_ && !lost_.load()) jack_deactivate(client_);
  active_ = false;
}

int JackClient::onProcess(jack_nframes_t frames, void* self) {
  auto& client = *static_cast<JackClient*>(self);
  for (std::size_t o = 0; o < client.outputs_.size(); ++o)
    client.buffers_[o] = static_cast<float*>(jack_port_get_buffer(client.outputs_[o], frames));
  client.player_.play(jack_port_get_buffer(client.midiIn_, frames), client.buffers_.data(), static_cast<int>(frames));
  return 0;
}

// A rate ZVX cannot play is not handed on; the main loop reports it.
int JackClient::onRate(jack_nframes_t rate, void* self) {
  auto& client = *static_cast<JackClient*>(self);
  if (!isUsableSampleRate(static_cast<double>(rate))) {
    client.refusedRate_.store(rate);
    return 0;
  }
  client.player_.rateChanged(static_cast<double>(rate));
  return 0;
}

bool JackClient::refusedRate(double& rate) const {
  const jack_nframes_t refused = refusedRate_.load();
  if (refused == kNoRefusedRate) return false;
  rate = static_cast<double>(refused);
  return true;
}

int JackClient::onXrun(void* self) {
  static_cast<JackClient*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

// JACK's own thread; the reason is copied once, before the flag says so.
void JackClient::onShutdown(jack_status_t /*status*/, const char* reason, void* self) {
  auto& client = *static_cast<JackClient*>(self);
  if (client.lost_.load()) return;
  std::strncpy(client.lostReason_, reason ? reason : "", sizeof client.lostReason_ - 1);
  client.lost_.store(true);
}

bool JackClient::lost(std::string& reason) const {
  if (!lost_.load()) return false;
  reason = lostReason_;
  return true;
}

std::string JackClient::midiInputName() const { return jack_port_name(midiIn_); }

std::string JackClient::outputName(std::size_t index) const { return jack_port_name(outputs_.at(index)); }

bool JackClient::connect(const std::string& from, const std::string& to, std::string& error) {
  for (const std::string& port : {from, to}) {
    if (!jack_port_by_name(client_, port.c_str())) {
      error = "there is no JACK port \"" + port + "\" (jack_lsp lists them)";
      return false;
    }
  }
  const int result = jack_connect(client_, from.c_str(), to.c_str());
  if (result != 0 && result != EEXIST) {
    error = "JACK did not connect \"" + from + "\" to \"" + to + "\"";
    return false;
  }
  return true;
}

std::vector<std::string> JackClient::physicalPorts(const char* type, unsigned long flags) const {
  std::vector<std::string> names;
  const char** ports = jack_get_ports(client_, nullptr, type, flags | JackPortIsPhysical);
  for (int i = 0; ports && ports[i]; ++i) names.emplace_back(ports[i]);
  if (ports) jack_free(ports);
  return names;
}

std::vector<std::string> JackClient::physicalMidiSources() const {
  return physicalPorts(JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
}

std::vector<std::string> JackClient::physicalAudioSinks() const {
  return physicalPorts(JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
}

double JackClient::sampleRate() const { return static_cast<double>(jack_get_sample_rate(client_)); }

int JackClient::period() const { return static_cast<int>(jack_get_buffer_size(client_)); }

}  // namespace zvx::standalone
