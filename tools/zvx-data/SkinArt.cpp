#include "tools/zvx-data/SkinArt.h"

#include <algorithm>
#include <map>
#include <set>

#include "skin/BitmapCache.h"
#include "tools/zvx-data/ArtRenderer.h"
#include "tools/zvx-data/ArtScript.h"
#include "tools/zvx-data/BmpWriter.h"
#include "tools/zvx-data/SkinError.h"
#include "tools/zvx-data/SkinLayout.h"

namespace zvx::data {
namespace {

std::string lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

}  // namespace

std::vector<SkinArt::File> SkinArt::render(const std::string& layoutXml, const std::string& art) {
  const SkinLayout layout = SkinLayout::parse(layoutXml, kLayoutFile);
  const ArtScript script = ArtScript::parse(art, kArtFile);
  ArtRenderer renderer(layout, script), twice(layout, script, 2.0);
  std::map<std::string, gui::Surface> pictures = renderer.run(), larger = twice.run();

  // Names are compared ignoring case, as the skin loader finds its bitmaps.
  std::set<std::string> named;
  for (const std::string& name : layout.bitmapNames()) {
    if (!pictures.count(lower(name))) throw SkinError(std::string(kLayoutFile) + ": " + name + " is not drawn by " + kArtFile);
    named.insert(lower(name));
  }
  std::vector<File> files;
  for (auto& [key, picture] : pictures) {
    if (!named.count(key))
      throw SkinError(std::string(kArtFile) + ":" + std::to_string(renderer.lineOf(key)) + ": " + renderer.nameOf(key) +
                      " is drawn but skin.xml never uses it");
    files.push_back({renderer.nameOf(key), BmpWriter::encode(picture)});
    // The same picture at twice the size, for editors shown larger.
    files.push_back({BitmapCache::doubleSizeName(renderer.nameOf(key)), BmpWriter::encode(larger.at(key))});
  }
  files.push_back({kLayoutFile, std::vector<std::uint8_t>(layoutXml.begin(), layoutXml.end())});
  std::sort(files.begin(), files.end(), [](const File& a, const File& b) { return a.name < b.name; });
  return files;
}

}  // namespace zvx::data
