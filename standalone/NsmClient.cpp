#include "standalone/NsmClient.h"

#include <lo/lo.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace zvx::standalone {
namespace {

// The version of the protocol zvx speaks (its optional GUI came with 1.1).
constexpr int kApiMajor = 1;
constexpr int kApiMinor = 1;
constexpr const char* kApplication = "zvx";
constexpr const char* kCapabilities = ":optional-gui:dirty:";

void reportOscError(int /*number*/, const char* message, const char* where) {
  std::fprintf(stderr, "zvx: OSC: %s%s%s\n", message ? message : "an error", where ? " at " : "", where ? where : "");
}

// liblo points into the message, where arguments are aligned to 4 bytes only:
// a string is read from where its argument begins, not through lo_arg's members.
std::string stringArgument(const char* types, lo_arg** argv, int argc, int index) {
  return index < argc && types[index] == LO_STRING ? std::string(reinterpret_cast<const char*>(argv[index]))
                                                   : std::string();
}

}  // namespace

struct NsmClient::Link {
  lo_address manager = nullptr;
  lo_server server = nullptr;
  std::string managerPort;
  ~Link() {
    if (server) lo_server_free(server);
    if (manager) lo_address_free(manager);
  }
  void send(const char* path, lo_message message) {
    if (lo_send_message_from(manager, server, path, message) < 0)
      std::fprintf(stderr, "zvx: cannot tell the session manager %s (%s)\n", path, lo_address_errstr(manager));
    lo_message_free(message);
  }
};

std::unique_ptr<NsmClient> NsmClient::announce(const std::string& url, const std::string& executable,
                                               std::string& error) {
  auto link = std::make_unique<Link>();
  // liblo complains aloud of what is no OSC URL at all; that is said here instead.
  if (url.rfind("osc.", 0) == 0) link->manager = lo_address_new_from_url(url.c_str());
  if (!link->manager) {
    error = "NSM_URL \"" + url + "\" is no OSC address";
    return nullptr;
  }
  // Replies come back to the socket the announcement left from, over the
  // manager's own protocol.
  link->server = lo_server_new_with_proto(nullptr, lo_address_get_protocol(link->manager), &reportOscError);
  if (!link->server) {
    error = "no OSC socket to talk to the session manager at " + url;
    return nullptr;
  }
  if (const char* port = lo_address_get_port(link->manager)) link->managerPort = port;
  std::unique_ptr<NsmClient> client(new NsmClient(std::move(link)));

  lo_message message = lo_message_new();
  lo_message_add_string(message, kApplication);
  lo_message_add_string(message, kCapabilities);
  lo_message_add_string(message, executable.c_str());
  lo_message_add_int32(message, kApiMajor);
  lo_message_add_int32(message, kApiMinor);
  lo_message_add_int32(message, static_cast<int>(getpid()));
  client->link_->send("/nsm/server/announce", message);
  return client;
}

NsmClient::NsmClient(std::unique_ptr<Link> link) : link_(std::move(link)) {
  // Every message comes to one handler, which reads only what comes from the
  // manager's port: another program on the machine cannot save or show us.
  const auto handle = [](const char* path, const char* types, lo_arg** argv, int argc, lo_message message,
                         void* self) -> int {
    auto& me = *static_cast<NsmClient*>(self);
    const lo_address source = lo_message_get_source(message);
    const char* port = source ? lo_address_get_port(source) : nullptr;
    if (port && !me.link_->managerPort.empty() && me.link_->managerPort != port) return 0;
    const std::string about = stringArgument(types, argv, argc, 0);
    if (std::strcmp(path, "/reply") == 0 && about == "/nsm/server/announce") {
      me.welcomed_ = true;
      me.managerName_ = stringArgument(types, argv, argc, 2);
    } else if (std::strcmp(path, "/error") == 0 && about == "/nsm/server/announce") {
      me.refused_ = true;
      me.refusal_ = stringArgument(types, argv, argc, 2);
    } else if (std::strcmp(path, "/nsm/client/open") == 0 && argc == 3 && std::strcmp(types, "sss") == 0) {
      me.requests_.push_back({Request::Open, stringArgument(types, argv, argc, 0), stringArgument(types, argv, argc, 1),
                              stringArgument(types, argv, argc, 2)});
    } else if (std::strcmp(path, "/nsm/client/save") == 0) {
      me.requests_.push_back({Request::Save, {}, {}, {}});
    } else if (std::strcmp(path, "/nsm/client/show_optional_gui") == 0) {
      me.requests_.push_back({Request::ShowGui, {}, {}, {}});
    } else if (std::strcmp(path, "/nsm/client/hide_optional_gui") == 0) {
      me.requests_.push_back({Request::HideGui, {}, {}, {}});
    }
    return 0;
  };
  lo_server_add_method(link_->server, nullptr, nullptr, handle, this);
}

NsmClient::~NsmClient() = default;

void NsmClient::receive(int waitMs) {
  while (lo_server_recv_noblock(link_->server, waitMs) > 0) waitMs = 0;
}

NsmClient::Joined NsmClient::join(Request& open, std::chrono::milliseconds answer, std::chrono::milliseconds opening,
                                  const std::function<bool()>& stop, std::string& message) {
  auto giveUp = std::chrono::steady_clock::now() + answer;
  for (bool wasWelcomed = false;;) {
    if (stop()) return Joined::Stopped;
    receive(50);
    if (refused_) {
      message = refusal_;
      return Joined::Refused;
    }
    for (auto request = requests_.begin(); request != requests_.end(); ++request) {
      if (request->kind != Request::Open) continue;
      open = *request;
      requests_.erase(request);
      return Joined::Opened;
    }
    if (welcomed_ && !wasWelcomed) {
      wasWelcomed = true;
      giveUp = std::chrono::steady_clock::now() + opening;
    }
    if (std::chrono::steady_clock::now() > giveUp) return Joined::NoAnswer;
  }
}

std::vector<NsmClient::Request> NsmClient::take() {
  receive(0);
  std::vector<Request> taken;
  taken.swap(requests_);
  return taken;
}

void NsmClient::reply(const std::string& path, const std::string& text) {
  lo_message message = lo_message_new();
  lo_message_add_string(message, path.c_str());
  lo_message_add_string(message, text.c_str());
  link_->send("/reply", message);
}

void NsmClient::error(const std::string& path, int code, const std::string& text) {
  lo_message message = lo_message_new();
  lo_message_add_string(message, path.c_str());
  lo_message_add_int32(message, code);
  lo_message_add_string(message, text.c_str());
  link_->send("/error", message);
}

void NsmClient::guiShown(bool shown) {
  link_->send(shown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden", lo_message_new());
}

void NsmClient::dirty(bool dirty) {
  link_->send(dirty ? "/nsm/client/is_dirty" : "/nsm/client/is_clean", lo_message_new());
}

}  // namespace zvx::standalone
