#include "platform/Messages.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>
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

// Each thread's holds, kept as the owners are and for the same reason.
struct HoldScope {
  std::thread::id thread;
  HeldMessages* held;
};

std::vector<HoldScope>& holdScopes() {
  static std::vector<HoldScope> scopes;
  return scopes;
}

// Whether this thread holds its messages, and where it keeps them (null: nowhere).
bool holding(HeldMessages*& held) {
  std::lock_guard<std::mutex> lock(ownerMutex());
  const auto& scopes = holdScopes();
  for (auto it = scopes.rbegin(); it != scopes.rend(); ++it)
    if (it->thread == std::this_thread::get_id()) {
      held = it->held;
      return true;
    }
  return false;
}

void writeLine(const Message& message) {
  std::fprintf(stderr, "%s\n", formatMessageLine(message).c_str());
  std::fflush(stderr);
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

void HeldMessages::keep(const Message& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Message& kept : messages_)
    if (kept.text == message.text && kept.caption == message.caption && kept.icon == message.icon) return;
  messages_.push_back(message);
}

std::vector<Message> HeldMessages::take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(messages_, {});
}

MessageHold::MessageHold(HeldMessages* held) {
  std::lock_guard<std::mutex> lock(ownerMutex());
  holdScopes().push_back({std::this_thread::get_id(), held});
}

MessageHold::~MessageHold() {
  std::lock_guard<std::mutex> lock(ownerMutex());
  auto& scopes = holdScopes();
  for (auto it = scopes.rbegin(); it != scopes.rend(); ++it)
    if (it->thread == std::this_thread::get_id()) {
      scopes.erase(std::next(it).base());
      return;
    }
}

std::optional<MessageHold> HeldUntilEditor::hold(bool audioThread) {
  if (opened_.load() || audioThread) return std::nullopt;
  return std::optional<MessageHold>(std::in_place, &held_);
}

// Standard error had them already: they are only shown, in boxes where one can open.
void HeldUntilEditor::editorOpened(void* window) {
  opened_.store(true);
  const MessageOwner owner(window);
  for (Message& shown : held_.take()) {
    if (messagesToStderr()) return;
    shown.owner = messageOwner();
    if (const MessagePresenter show = presenter.load()) show(shown);
  }
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
  HeldMessages* held = nullptr;
  if (holding(held)) {
    writeLine(message);
    if (held) held->keep(message);
    return;
  }
  if (!messagesToStderr()) {
    const MessagePresenter show = presenter.load();
    if (show && show(message)) return;
  }
  writeLine(message);
}

}  // namespace zvx::platform
