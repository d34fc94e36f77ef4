#include "formats/vst3/Vst3View.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "editor/EditorScale.h"
#include "formats/vst3/Vst3Plugin.h"

namespace zvx::vst3 {
namespace {

#if defined(_WIN32)
constexpr FIDString kOurPlatform = kPlatformTypeHWND;
#else
constexpr FIDString kOurPlatform = kPlatformTypeX11EmbedWindowID;
#endif

}  // namespace

Vst3View::Vst3View(Vst3Plugin& plugin, FrameEditor& editor) : plugin_(plugin), editor_(editor) {
  static_cast<IComponent&>(plugin_).addRef();
}

Vst3View::~Vst3View() {
  removed();
  plugin_.viewClosed(this);
  static_cast<IComponent&>(plugin_).release();
}

tresult Vst3View::queryInterface(const TUID iid, void** object) {
  if (!object) return kInvalidArgument;
  *object = nullptr;
  if (FUnknown::iid.is(iid) || IPlugView::iid.is(iid))
    *object = static_cast<IPlugView*>(this);
  else if (IPlugViewContentScaleSupport::iid.is(iid))
    *object = static_cast<IPlugViewContentScaleSupport*>(this);
  else if (ITimerHandler::iid.is(iid))
    *object = static_cast<ITimerHandler*>(this);
  else
    return kNoInterface;
  addRef();
  return kResultOk;
}

uint32 Vst3View::addRef() { return references_.fetch_add(1) + 1; }

uint32 Vst3View::release() {
  const uint32 left = references_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return left;
}

tresult Vst3View::isPlatformTypeSupported(FIDString type) {
  return type && std::strcmp(type, kOurPlatform) == 0 ? kResultTrue : kResultFalse;
}

// A window that could not be made in the host's parent leaves nothing
// half-built; one that could shows its first picture before the host shows it.
tresult Vst3View::attached(void* parent, FIDString type) {
  if (!parent || isPlatformTypeSupported(type) != kResultTrue || attached_) return kResultFalse;
  // A new scale chosen in the editor: the host fits its window, then calls onSize.
  editor_.setResizeRequest([this](int width, int height) {
    if (!frame_) return;
    ViewRect size{0, 0, width, height};
    frame_->resizeView(this, &size);
  });
  if (!editor_.open(parent) || !editor_.isOpen()) {
    editor_.close();
    editor_.setResizeRequest(nullptr);
    return kResultFalse;
  }
  attached_ = true;
  editor_.idle();
  startTicking();
  return kResultOk;
}

tresult Vst3View::removed() {
  if (!attached_) return kResultFalse;
  stopTicking();
  editor_.close();
  editor_.setResizeRequest(nullptr);
  attached_ = false;
  return kResultOk;
}

// Linux hosts lend their run loop through the frame; a host that lends none
// leaves the editor still (it draws when the host resizes or exposes it).
void Vst3View::startTicking() {
  void* runLoop = nullptr;
  if (frame_ && frame_->queryInterface(IRunLoop::iid.data(), &runLoop) == kResultOk && runLoop) {
    runLoop_ = static_cast<IRunLoop*>(runLoop);
    if (runLoop_->registerTimer(this, kTickMilliseconds) == kResultOk) return;
    runLoop_->release();
    runLoop_ = nullptr;
  }
  timer_ = platform::startGuiTimer(kTickMilliseconds, [this] { onTimer(); });
}

void Vst3View::stopTicking() {
  timer_.reset();
  if (!runLoop_) return;
  runLoop_->unregisterTimer(this);
  runLoop_->release();
  runLoop_ = nullptr;
}

void Vst3View::onTimer() {
  if (attached_) plugin_.editorIdle();
}

tresult Vst3View::onWheel(float distance) { return editor_.onWheel(distance) ? kResultTrue : kResultFalse; }

// The host's key codes and modifier bits are the VST 2.4 ones the toolkit reads.
tresult Vst3View::onKeyDown(char16 key, int16 keyCode, int16 modifiers) {
  ViewKey viewKey{static_cast<int>(key), static_cast<unsigned char>(keyCode),
                  static_cast<unsigned char>(modifiers)};
  return editor_.onKeyDown(viewKey) ? kResultTrue : kResultFalse;
}

ViewRect Vst3View::rect() const {
  return ViewRect{0, 0, std::min(editor_.width(), FrameEditor::kSideAtMost),
                  std::min(editor_.height(), FrameEditor::kSideAtMost)};
}

tresult Vst3View::getSize(ViewRect* size) {
  if (!size) return kInvalidArgument;
  *size = rect();
  return kResultOk;
}

// The editor has the sizes of its scales only: the host's window follows it.
tresult Vst3View::onSize(ViewRect* newSize) { return newSize ? kResultOk : kInvalidArgument; }

tresult Vst3View::checkSizeConstraint(ViewRect* size) {
  if (!size) return kInvalidArgument;
  *size = rect();
  return kResultOk;
}

tresult Vst3View::setFrame(IPlugFrame* frame) {
  if (!frame && runLoop_) stopTicking();
  frame_ = frame;
  return kResultOk;
}

// The host's word on the desktop's scale, unless the user chose a size.
tresult Vst3View::setContentScaleFactor(float factor) {
  if (!std::isfinite(factor) || factor <= 0.0f) return kInvalidArgument;
  if (EditorScale::userChoice()) return kResultFalse;
  editor_.setScale(EditorScale::nearest(factor));
  return kResultTrue;
}

}  // namespace zvx::vst3
