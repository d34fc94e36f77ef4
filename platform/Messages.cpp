#include "platform/Messages.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>


namespace zvx::platform {
namespace {

std::mutex& sinkMutex() {
  static std::mutex mutex;
  return mutex;
}

MessageSink& sink() {
  static MessageSink instance;
  return instance;
}

std::atomic<MessagePresenter> presenter{nullptr};

// Each thread's current message owner. Not thread_local: the thread-local
// storage of a module that hosts load and unload is fragile (leak checkers
// crash walking it in the processes of a host that unloaded us). Never
// touched on the audio thread, where messages are not shown, so a lock is fine.
struct OwnerScope {
  std::thread::id thread;
  void* window;
};

std::mutex& ownerMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<OwnerScope>& ownerScopes() {
  static std::vector<OwnerScope> scopes;
  return scopes;
}

const char* iconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error:
      return "error";
    case MessageIcon::Warning:
      return "warning";
    case MessageIcon::Information:
      return "information";
    case MessageIcon::None:
      break;
  }
  return "none";
}

bool messagesToStderr() {
  const char* mode = std::getenv("ZVX_MESSAGES");
  return mode && std::strcmp(mode, "stderr") == 0;
}

}  // namespace

std::string formatMessageLine(const Message& message) {
  return std::string("ZVX message [") + iconName(message.icon) + "] \"" + message.caption + "\": " + message.text;
}

std::string escapedLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      line += c;
    } else if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if (c == '\t') {
      line += "\\t";
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      line += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    }
  }
  return line;
}

void setMessageSink(MessageSink newSink) {
  std::lock_guard<std::mutex> lock(sinkMutex());
  sink() = std::move(newSink);
}

void setMessagePresenter(MessagePresenter newPresenter) { presenter.store(newPresenter); }

MessageOwner::MessageOwner(void* window) {
  std::lock_guard<std::mutex> lock(ownerMutex());
  ownerScopes().push_back({std::this_thread::get_id(), window});
}

// Scopes nest per thread: the latest one of this thread ends.
MessageOwner::~MessageOwner() {
  std::lock_guard<std::mutex> lock(ownerMutex());
  auto& scopes = ownerScopes();
  for (auto it = scopes.rbegin(); it != scopes.rend(); ++it)
    if (it->thread == std::this_thread::get_id()) {
      scopes.erase(std::next(it).base());
      return;
    }
}

void* messageOwner() {
  std::lock_guard<std::mutex> lock(ownerMutex());
  const auto& scopes = ownerScopes();
  for (auto it = scopes.rbegin(); it != scopes.rend(); ++it)
    if (it->thread == std::this_thread::get_id()) return it->window;
  return nullptr;
}

void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) {
  Message message{std::string(text), std::string(caption), icon, messageOwner()};
  {
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (sink()) {
      sink()(message);
      return;
    }
  }
  if (!messagesToStderr()) {
    const MessagePresenter show = presenter.load();
    if (show && show(message)) return;
  }
  std::fprintf(stderr, "%s\n", formatMessageLine(message).c_str());
  std::fflush(stderr);
}

}  // namespace zvx::platform
