// The one road for every message the plug-in shows to its user. A process-wide
// sink can take messages instead (tests record them); ZVX_MESSAGES=stderr sends
// them to standard error as one line each (headless runs, CI, wine).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zvx::platform {

enum class MessageIcon { None, Error, Warning, Information };

struct Message {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::None;
  void* owner = nullptr;  // the native window that owns the box, or none
};

using MessageSink = std::function<void(const Message&)>;

// Shows a modal message box (or hands the message to the sink). Not for the audio thread.
void showMessage(std::string_view text, std::string_view caption, MessageIcon icon = MessageIcon::None);

// Replaces the process-wide sink; an empty sink restores the default behaviour.
void setMessageSink(MessageSink sink);

// Shows a message in a box of the system's own, or returns false when it
// cannot (no display): the message then goes to standard error.
using MessagePresenter = bool (*)(const Message& message);
// Who shows messages that no sink takes; until one is set (see
// MessageBoxes.h), they go to standard error.
void setMessagePresenter(MessagePresenter presenter);

// While alive, the messages shown on this thread are owned by `window` (a
// native window handle: the editor's, while the editor works); scopes nest.
class MessageOwner {
 public:
  explicit MessageOwner(void* window);
  ~MessageOwner();
  MessageOwner(const MessageOwner&) = delete;
  MessageOwner& operator=(const MessageOwner&) = delete;
};
// The owner of messages shown on this thread now, or null.
void* messageOwner();

// Messages kept for later: what a plug-in had to say before its editor
// first opened, to be shown then. The same message kept again is kept once.
// Any thread.
class HeldMessages {
 public:
  void keep(const Message& message);
  // The messages kept so far, oldest first; none are kept after.
  std::vector<Message> take();

 private:
  std::mutex mutex_;
  std::vector<Message> messages_;
};

// While alive, the messages shown on this thread open no box (a sink still
// takes them): each goes to standard error at once, where hosts log what
// plug-ins say, and is kept in `held` when one is given. A host scanning
// plug-ins makes instances and closes them without ever opening an editor:
// a modal box it cannot see would stall it for ever. Scopes nest; the
// latest of the thread holds.
class MessageHold {
 public:
  explicit MessageHold(HeldMessages* held);
  ~MessageHold();
  MessageHold(const MessageHold&) = delete;
  MessageHold& operator=(const MessageHold&) = delete;
};

// What a plug-in says until its editor first opens: each host call holds
// it (hold()), and the editor's first opening shows what was held, once;
// from then on messages are shown as they come. Any thread.
class HeldUntilEditor {
 public:
  // For a host call on this thread: a hold while the editor has not opened.
  // None on the audio thread, whose messages the instrument defers itself.
  std::optional<MessageHold> hold(bool audioThread);
  // The editor opened in `window`, which owns the boxes shown now.
  void editorOpened(void* window);

 private:
  HeldMessages held_;
  std::atomic<bool> opened_{false};
};

// The line written for a message on standard error, e.g.
// ZVX message [error] "Error!": ZVX is not installed correctly
std::string formatMessageLine(const Message& message);
// `text` on one line: control characters (a newline in a file name) written
// as \n, \r, \t or \xHH. For names and texts from files quoted in messages,
// whose lines are the message's own.
std::string escapedLine(std::string_view text);

}  // namespace zvx::platform
