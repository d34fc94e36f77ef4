#include "standalone/StandaloneWindow.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "editor/DrumEditor.h"
#include "platform/Messages.h"
#include "platform/Platform.h"
#include "skin/XmlReader.h"
#include "storage/DataFolder.h"

namespace zvx::standalone {
namespace {

constexpr const char* kDefaultName = "zvx";

bool isFile(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

// The picture the skin's <background> names, as written; empty when it names none.
std::string backgroundPicture(const std::string& skinFile) {
  std::string picture;
  xmltag* root = LoadXmlFile(skinFile);
  for (xmltag* element = root ? root->children : nullptr; element && picture.empty(); element = element->next) {
    if (!namesEqual(element->name, "background")) continue;
    for (xmlattr* attribute = element->attributes; attribute; attribute = attribute->next)
      if (namesEqual(attribute->name, "filename") && attribute->value) picture = attribute->value;
  }
  if (root) FreeXmlTree(root);
  return picture;
}

// Why the editor got no size from its skin, naming the file at fault: the
// skin's own words (`said`) when it had some, else the background picture.
std::string whyTheSkinFails(const std::vector<platform::Message>& said) {
  std::string folder;
  if (!findDataFolder("ZVX", folder)) return "ZVX's data folder, which holds the editor's skin, is missing";
  const std::string skinFile = folder + "skin" + platform::kPathSeparator + "skin.xml";
  if (!isFile(skinFile)) return "its skin file " + platform::escapedLine(skinFile) + " is missing";
  for (const platform::Message& message : said)
    if (!message.text.empty())
      return "its skin file " + platform::escapedLine(skinFile) + " cannot be used (" + message.caption + ": " +
             platform::escapedLine(message.text) + ")";
  const std::string picture = backgroundPicture(skinFile);
  if (picture.empty()) return "its skin file " + platform::escapedLine(skinFile) + " names no background picture";
  return "the background picture of its skin, " + platform::escapedLine(folder + "skin" + platform::kPathSeparator + picture) +
         ", is missing or is no picture it can read";
}

}  // namespace

StandaloneWindow::StandaloneWindow(StandaloneInstrument& instrument, const std::string& name)
    : instrument_(instrument), name_(name) {}

StandaloneWindow::~StandaloneWindow() { hide(); }

std::string StandaloneWindow::title() {
  InstrumentControl& control = instrument_.control();
  char number[8];
  std::snprintf(number, sizeof number, "%03d", control.program());
  std::string text = std::string("ZVX - ") + number + " " + control.programName(control.program());
  if (name_ != kDefaultName) text += " (" + name_ + ")";
  return text;
}

// The size pass reads the skin once, with the skin's complaints kept back:
// they become the one message that says why there is no editor, or, when the
// skin is usable after all, are shown as ever.
bool StandaloneWindow::prepare(std::string& error) {
  if (editor_) return true;
  std::vector<platform::Message> said;
  platform::setMessageSink([&said](const platform::Message& message) { said.push_back(message); });
  std::unique_ptr<FrameEditor> editor = DrumEditor::create(instrument_.control());
  platform::setMessageSink({});
  if (editor->width() <= 0 || editor->height() <= 0) {
    error = unusable_ = "cannot show the editor: " + whyTheSkinFails(said) + "; run `zvx --no-gui` to play without it";
    return false;
  }
  for (const platform::Message& message : said) platform::showMessage(message.text, message.caption, message.icon);
  editor->setKnobMode(kLinearMode);
  editor_ = std::move(editor);
  return true;
}

bool StandaloneWindow::show(std::string& error) {
  if (window_) return true;
  if (!editor_) {
    error = unusable_.empty() ? "zvx was started with --no-gui: it has no editor to show" : unusable_;
    return false;
  }
  title_ = title();
  window_ = platform::createAppWindow(editor_->width(), editor_->height(), title_, kDefaultName, error);
  if (!window_) {
    error += "; run `zvx --no-gui` to play without the editor";
    return false;
  }
  editor_->setResizeRequest([this](int width, int height) {
    if (window_) window_->resize(width, height);
  });
  instrument_.setEditor(editor_.get());
  if (!editor_->open(window_->nativeHandle())) {
    hide();
    error = "the editor did not open";
    return false;
  }
  return true;
}

void StandaloneWindow::hide() {
  // The instrument stops telling the editor before the editor closes.
  instrument_.setEditor(nullptr);
  if (editor_) editor_->close();
  window_.reset();
}

bool StandaloneWindow::idle() {
  if (!window_) return false;
  if (window_->closed()) return true;
  editor_->idle();
  if (const std::string now = title(); now != title_) window_->setTitle(title_ = now);
  return false;
}

void StandaloneWindow::abandon() {
  instrument_.setEditor(nullptr);
  static_cast<void>(window_.release());
  static_cast<void>(editor_.release());
}

}  // namespace zvx::standalone
