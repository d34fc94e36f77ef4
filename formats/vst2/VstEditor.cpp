#include "formats/vst2/VstEditor.h"

#include <algorithm>

#include "formats/vst2/HeadlessProtocol.h"

namespace zvx::vst2 {

VstEditor::VstEditor(std::unique_ptr<FrameEditor> editor, std::function<void(int, int)> resize)
    : editor_(std::move(editor)) {
  editor_->setResizeRequest(std::move(resize));
}

VstEditor::~VstEditor() { editor_->close(); }

// A window that could not be made in the host's parent leaves nothing
// half-built; one that could shows its first picture before the host shows it.
bool VstEditor::open(void* parent) {
  if (editor_->open(parent) && editor_->isOpen()) {
    editor_->idle();
    return true;
  }
  editor_->close();
  return false;
}

std::optional<VstIntPtr> VstEditor::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case effEditGetRect: {
      // The size the editor knows now; hosts ask before and after open.
      if (!ptr) return 0;
      // Sides beyond 16 bits are held at the most, never wrapped.
      const auto side = [](int pixels) { return static_cast<VstInt16>(std::min(pixels, FrameEditor::kSideAtMost)); };
      rect_ = ERect{0, 0, side(editor_->height()), side(editor_->width())};
      *static_cast<ERect**>(ptr) = &rect_;
      return 1;
    }
    case effEditOpen:
      return open(ptr) ? 1 : 0;
    case effEditClose:
      editor_->close();
      return 1;
    case effEditIdle:
      editor_->idle();
      return 0;
    case effEditKeyDown: {
      ViewKey key{index, static_cast<unsigned char>(value), static_cast<unsigned char>(opt)};
      return editor_->onKeyDown(key) ? 1 : 0;
    }
    case effEditKeyUp:
      return 0;
    case effSetEditKnobMode:
      editor_->setKnobMode(static_cast<long>(value));
      return 1;
    case effVendorSpecific:
      if (index == kHeadlessOpcode)
        return remote_.handle(editor_->getFrame(), value, ptr, [this] { return editor_->describe(); });
      // The host's mouse wheel ('stCA' / 'Whee').
      if (index == fourCharCode("stCA") && value == fourCharCode("Whee")) return editor_->onWheel(opt) ? 1 : 0;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace zvx::vst2
