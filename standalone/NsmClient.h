// zvx in the session of an NSM-compatible session manager (New Session
// Manager, RaySession, Agordejo), which starts, saves and stops each program
// of a session. Over OSC (liblo), from one socket as the protocol asks: zvx
// announces itself, the manager opens it with a client name and a path for
// its state, and later asks it to save, show or hide its window; zvx tells
// whether its window is shown and whether it has unsaved changes. The manager
// stops it with SIGTERM.
//
// Threads: the main thread only; liblo's callbacks run inside its calls here.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zvx::standalone {

class NsmClient {
 public:
  // The protocol's error codes that zvx answers with.
  static constexpr int kGeneralError = -1;
  static constexpr int kBadProject = -9;

  // What the manager asked for.
  struct Request {
    enum Kind { Open, Save, ShowGui, HideGui } kind;
    std::string path, displayName, clientId;  // Open's
  };

  // Sends the announcement to the manager at `url` (NSM_URL) for the program
  // started as `executable`; null, with the reason, when the URL is none.
  static std::unique_ptr<NsmClient> announce(const std::string& url, const std::string& executable, std::string& error);
  ~NsmClient();
  NsmClient(const NsmClient&) = delete;
  NsmClient& operator=(const NsmClient&) = delete;

  enum class Joined { Opened, Refused, NoAnswer, Stopped };
  // Waits for the manager's welcome and its open: Opened with the open in
  // `open`; Refused with the manager's words in `message`; NoAnswer when no
  // welcome came within `answer`, or no open within `opening` after it;
  // Stopped as soon as `stop` holds.
  Joined join(Request& open, std::chrono::milliseconds answer, std::chrono::milliseconds opening,
              const std::function<bool()>& stop, std::string& message);
  // Whether the manager answered the announcement, and its name as it said it.
  bool welcomed() const { return welcomed_; }
  const std::string& managerName() const { return managerName_; }

  // What arrived since the last call, in order; never waits.
  std::vector<Request> take();
  // The answers every request but show and hide needs (`path` is the request's, e.g. "/nsm/client/save").
  void reply(const std::string& path, const std::string& message);
  void error(const std::string& path, int code, const std::string& message);
  void guiShown(bool shown);
  void dirty(bool dirty);

 private:
  struct Link;
  explicit NsmClient(std::unique_ptr<Link> link);
  void receive(int waitMs);

  std::unique_ptr<Link> link_;
  std::vector<Request> requests_;
  bool welcomed_ = false, refused_ = false;
  std::string managerName_, refusal_;
};

}  // namespace zvx::standalone
