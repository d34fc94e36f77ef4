#include "formats/lv2/Lv2Ui.h"

#include <cstring>
#include <limits>

#include "editor/DrumEditor.h"
#include "formats/lv2/Lv2Ports.h"
#include "platform/MessageBoxes.h"

namespace zvx::lv2 {
namespace {

bool isParameter(int index) { return index >= 0 && index < kNumParameters; }

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

std::unique_ptr<Lv2Ui> Lv2Ui::open(const Host& host) {
  if (!host.parent || !host.instance || !host.access || !host.write) return nullptr;
  InstrumentControl* instrument = host.access->control(host.instance);
  if (!instrument) return nullptr;
  // The editor's messages (a skin it cannot read) in boxes, as the VST editor's.
  platform::useMessageBoxes();
  std::unique_ptr<Lv2Ui> ui(new Lv2Ui(host, *instrument));
  if (!ui->editor_->open(host.parent) || !ui->widget()) return nullptr;
  if (host.resize) {
    const LV2UI_Resize* resize = host.resize;
    resize->ui_resize(resize->handle, ui->editor_->width(), ui->editor_->height());
    // A new scale chosen in the editor: the host is asked for the new size.
    ui->editor_->setResizeRequest([resize](int width, int height) { resize->ui_resize(resize->handle, width, height); });
  }
  return ui;
}

Lv2Ui::Lv2Ui(const Host& host, InstrumentControl& instrument)
    : host_(host), control_(instrument, *this), editor_(DrumEditor::create(control_)) {
  editor_->setKnobMode(kLinearMode);  // as the VST editor's
  hostValues_.fill(std::numeric_limits<float>::quiet_NaN());
}

Lv2Ui::~Lv2Ui() { editor_->close(); }

void Lv2Ui::portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  const int index = static_cast<int>(port) - kFirstParameterPort;
  if (format != 0 || size != sizeof(float) || !buffer || !isParameter(index)) return;
  float value;
  std::memcpy(&value, buffer, sizeof value);
  hostValues_[static_cast<std::size_t>(index)] = value;
  editor_->setParameter(index, value);
}

int Lv2Ui::idle() {
  writeChanges();
  editor_->idle();
  return editor_->isOpen() ? 0 : 1;
}

// Only what changed inside the instrument: a port the host set that the
// instrument has not applied yet is not overwritten with the value before it.
void Lv2Ui::writeChanges() {
  for (int p = 0; p < kNumParameters; ++p) {
    if (!host_.access->takeChange(host_.instance, p)) continue;
    const float value = control_.parameter(p);
    editor_->setParameter(p, value);
    if (!sameBits(value, hostValues_[static_cast<std::size_t>(p)])) writePort(p, value);
  }
}

void Lv2Ui::writePort(int index, float value) {
  if (!isParameter(index)) return;
  hostValues_[static_cast<std::size_t>(index)] = value;
  host_.write(host_.controller, static_cast<uint32_t>(kFirstParameterPort + index), sizeof value, 0, &value);
}

void Lv2Ui::touch(int index, bool grabbed) {
  if (host_.touch && isParameter(index))
    host_.touch->touch(host_.touch->handle, static_cast<uint32_t>(kFirstParameterPort + index), grabbed);
}

void Lv2Ui::HostedControl::automateParameter(int index, float value) {
  instrument_.automateParameter(index, value);
  // What the instrument made of it (clamped), as the host's port should hold.
  ui_.writePort(index, isParameter(index) ? instrument_.parameter(index) : value);
}

}  // namespace zvx::lv2
