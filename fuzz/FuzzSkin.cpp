// libFuzzer target: any bytes as a skin and its sound wizard (the part before
// the first NUL byte is skin.xml, the rest "sound wizard.xml"). The editor is
// opened headless on them, drawn once whole, shown every parameter change and
// closed. The skin folder holds a picture under each bitmap name the default
// skin uses, so that mutated skins lay out real art.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>

#include "editor/DrumEditor.h"
#include "engine/Parameters.h"
#include "instrument/DirectControl.h"
#include "fuzz/FuzzSupport.h"
#include "image/PngCodec.h"
#include "image/Surface.h"

namespace {

namespace fs = std::filesystem;

void writeBytes(const fs::path& path, const std::uint8_t* data, std::size_t size) {
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
}

// The skin folder with its pictures, made once.
const fs::path& skinFolder() {
  static const fs::path folder = [] {
    const fs::path skin = zvx::fuzz::dataFolder() / "skin";
    fs::create_directories(skin);
    std::ifstream source(ZVX_SOURCE_DATA "/skin/skin.xml");
    const std::string text((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    const std::regex bitmap(R"re("([A-Za-z0-9_]+\.bmp)")re");
    for (std::sregex_iterator it(text.begin(), text.end(), bitmap), end; it != end; ++it) names.insert((*it)[1]);
    names.insert("back.bmp");
    for (const std::string& name : names) {
      const bool background = name.find("background") != std::string::npos || name == "back.bmp";
      const zvx::gui::Surface picture(background ? 800 : 48, background ? 500 : 48 * 8,
                                      zvx::gui::makePixel(40, 90, 140));
      zvx::gui::PngCodec::writeFile(picture, (skin / name).string());
    }
    return skin;
  }();
  return folder;
}

// The instrument and its editor, made once.
struct Shown {
  zvx::fuzz::FuzzedInstrument fuzzed;
  zvx::DirectControl control{fuzzed.instrument};
  std::unique_ptr<zvx::FrameEditor> editor = zvx::DrumEditor::create(control);
};
Shown& shown() {
  static Shown* made = new Shown;
  return *made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& skin = skinFolder();
  const auto* split = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  const std::size_t skinSize = split ? static_cast<std::size_t>(split - data) : size;
  writeBytes(skin / "skin.xml", data, skinSize);
  const std::size_t wizardStart = split ? skinSize + 1 : size;
  writeBytes(zvx::fuzz::dataFolder() / "sound wizard.xml", data + wizardStart, size - wizardStart);

  auto* editor = dynamic_cast<zvx::SkinEditor*>(shown().editor.get());
  if (!editor) zvx::fuzz::fail("the instrument has no skin editor");
  (void)editor->width();
  editor->open(nullptr);
  if (CFrame* frame = editor->getFrame()) {
    frame->redraw();
    for (int32_t p = 0; p < zvx::kNumParameters; ++p) editor->setParameter(p, 0.75f);
    frame->redraw();
  }
  editor->close();
  return 0;
}
