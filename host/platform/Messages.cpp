#include "host/platform/Messages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "host/platform/Platform.h"

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

// Never touched on the audio thread: messages are not shown there.
thread_local void* owner = nullptr;

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

MessageOwner::MessageOwner(void* window) : previous_(owner) { owner = window; }
MessageOwner::~MessageOwner() { owner = previous_; }
void* messageOwner() { return owner; }

void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) {
  Message message{std::string(text), std::string(caption), icon, owner};
  {
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (sink()) {
      sink()(message);
      return;
    }
  }
  if (messagesToStderr()) {
    std::fprintf(stderr, "%s\n", formatMessageLine(message).c_str());
    std::fflush(stderr);
    return;
  }
  showNativeMessage(message);
}

}  // namespace zvx::platform
