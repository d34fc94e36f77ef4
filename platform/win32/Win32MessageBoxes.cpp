// Messages in MessageBoxA, owned by the editor's window when it raised them.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/MessageBoxes.h"
#include "platform/Messages.h"

namespace zvx::platform {
namespace {

UINT iconFlag(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error:
      return MB_ICONERROR;
    case MessageIcon::Warning:
      return MB_ICONWARNING;
    case MessageIcon::Information:
      return MB_ICONINFORMATION;
    case MessageIcon::None:
      break;
  }
  return 0;
}

bool showMessageBox(const Message& message) {
  MessageBoxA(static_cast<HWND>(message.owner), message.text.c_str(), message.caption.c_str(),
              MB_OK | iconFlag(message.icon));
  return true;
}

}  // namespace

void useMessageBoxes() { setMessagePresenter(&showMessageBox); }

}  // namespace zvx::platform
