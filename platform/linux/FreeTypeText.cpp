// Linux text: FreeType rasterises DejaVu Sans into 8-bit coverage masks.
//
// Hinting: FreeType's default, the fonts' own TrueType instructions run by
// interpreter v40 for grayscale. It snaps horizontal strokes and the x-height
// to whole pixel rows, which keeps 8 to 10 px labels legible (crisper there
// than light auto-hinting or none), and leaves the horizontal shapes close to
// the design. Advances and kerning (the fonts' 'kern' table) are whole pixels,
// so every glyph sits at an integer pen position and its rendered mask can be
// cached and reused without changing the output.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Text.h"

namespace zvx::platform {
namespace {

constexpr const char* kSystemFontFolder = "/usr/share/fonts/truetype/dejavu";

// Sizes outside this range give an empty image rather than huge allocations.
constexpr int kMinPixelSize = 1;
constexpr int kMaxPixelSize = 512;

// Bytes of rendered glyphs kept before the cache starts afresh; the editor's
// few sizes and styles of Latin-1 take well under a megabyte.
constexpr std::size_t kMaxCachedBytes = 8 << 20;

enum Style { kRegular = 0, kBold = 1, kItalic = 2, kBoldItalic = 3 };

constexpr std::array<const char*, 4> kFileNames = {
    "DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf", "DejaVuSans-BoldOblique.ttf"};

// About 12 degrees, as FreeType's own oblique synthesis.
constexpr FT_Fixed kObliqueShear = 0x0366A;

// A face to draw a style with, and what must be synthesised on top of it.
struct StyledFace {
  FT_Face face = nullptr;
  int id = 0;  // stable key for the glyph cache
  bool embolden = false;
  bool slant = false;
};

struct Glyph {
  int left = 0;  // from the pen to the mask's first column
  int top = 0;   // from the baseline up to the mask's first row
  int width = 0;
  int height = 0;
  int advance = 0;  // whole pixels
  std::vector<std::uint8_t> pixels;  // width * height, rows top to bottom
};

using GlyphKey = std::tuple<int, bool, bool, int, FT_UInt>;  // face id, embolden, slant, size, index

struct PlacedGlyph {
  const Glyph* glyph;
  int x;
};

struct Layout {
  int width = 0;
  int height = 0;
  int ascent = 0;
  std::vector<PlacedGlyph> glyphs;
};

// FreeType's allocator, kept here so the library is made without
// FT_Init_FreeType: that one reads FREETYPE_PROPERTIES from the environment,
// which would let a user's setting change the images compared with references.
void* ftAlloc(FT_Memory, long size) { return std::malloc(static_cast<std::size_t>(size)); }
void ftFree(FT_Memory, void* block) { std::free(block); }
void* ftRealloc(FT_Memory, long, long newSize, void* block) {
  return std::realloc(block, static_cast<std::size_t>(newSize));
}

class TextEngine {
 public:
  static TextEngine& instance() {
    static TextEngine engine;  // made on first use, freed at exit
    return engine;
  }

  TextImage render(const std::string& text, const FontSpec& font, bool withCoverage) {
    std::lock_guard<std::mutex> lock(mutex_);
    Layout layout;
    TextImage image;
    if (!lay(text, font, layout)) return image;
    image.width = layout.width;
    image.height = layout.height;
    image.ascent = layout.ascent;
    if (withCoverage) compose(layout, image);
    return image;
  }

 private:
  TextEngine() {
    memory_.user = nullptr;
    memory_.alloc = ftAlloc;
    memory_.free = ftFree;
    memory_.realloc = ftRealloc;
    if (FT_New_Library(&memory_, &library_) != 0) {
      library_ = nullptr;
      return;
    }
    FT_Add_Default_Modules(library_);
    // Pinned rather than left to the build's default, for the same reason.
    FT_UInt interpreter = TT_INTERPRETER_VERSION_40;
    FT_Property_Set(library_, "truetype", "interpreter-version", &interpreter);
  }

  ~TextEngine() {
    glyphs_.clear();
    for (auto& [folder, faces] : folders_)
      for (FT_Face face : faces)
        if (face) FT_Done_Face(face);
    if (library_) FT_Done_Library(library_);
  }

  TextEngine(const TextEngine&) = delete;
  TextEngine& operator=(const TextEngine&) = delete;

  // ZVX_FONT_DIR, when set, is the only folder looked in, so a portable install
  // or a test gets exactly the fonts it names.
  static std::string fontFolder() {
    const char* named = std::getenv("ZVX_FONT_DIR");
    if (named && *named) return named;
    return kSystemFontFolder;
  }

  FT_Face openFace(const std::string& path) {
    FT_Face face = nullptr;
    if (FT_New_Face(library_, path.c_str(), 0, &face) != 0) return nullptr;
    // Latin-1 bytes are looked up as Unicode code points.
    if (!FT_IS_SCALABLE(face) || FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
      FT_Done_Face(face);
      return nullptr;
    }
    faceIds_[face] = static_cast<int>(faceIds_.size()) + 1;
    return face;
  }

  // The four faces of a folder, opened once; a missing file stays null.
  const std::array<FT_Face, 4>& facesIn(const std::string& folder) {
    auto found = folders_.find(folder);
    if (found != folders_.end()) return found->second;
    std::array<FT_Face, 4> faces{};
    if (library_)
      for (std::size_t style = 0; style < faces.size(); ++style)
        faces[style] = openFace(folder + "/" + kFileNames[style]);
    return folders_.emplace(folder, faces).first->second;
  }

  // The real face when its file exists, otherwise the nearest one with the
  // missing weight or slant synthesised.
  StyledFace styledFace(const FontSpec& font) {
    const auto& faces = facesIn(fontFolder());
    auto use = [&](Style style, bool embolden, bool slant) {
      StyledFace styled;
      if (!faces[style]) return styled;
      styled.face = faces[style];
      styled.id = faceIds_[faces[style]];
      styled.embolden = embolden;
      styled.slant = slant;
      return styled;
    };
    std::vector<StyledFace> choices;
    if (font.bold && font.italic)
      choices = {use(kBoldItalic, false, false), use(kBold, false, true), use(kItalic, true, false),
                 use(kRegular, true, true)};
    else if (font.bold)
      choices = {use(kBold, false, false), use(kRegular, true, false)};
    else if (font.italic)
      choices = {use(kItalic, false, false), use(kRegular, false, true)};
    else
      choices = {use(kRegular, false, false)};
    for (const StyledFace& choice : choices)
      if (choice.face) return choice;
    return {};
  }

  // The glyph's mask and advance at the face's current size, rendered once.
  const Glyph* glyph(const StyledFace& styled, int pixelSize, FT_UInt index) {
    GlyphKey key{styled.id, styled.embolden, styled.slant, pixelSize, index};
    auto found = glyphs_.find(key);
    if (found != glyphs_.end()) return &found->second;

    Glyph result;
    FT_Face face = styled.face;
    // Outlines only: embedded bitmaps would bypass the synthesis and the hinting choice.
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) == 0 &&
        face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
      FT_GlyphSlot slot = face->glyph;
      FT_Pos advance = slot->advance.x;
      if (styled.embolden) {
        // A twenty-fourth of the em as FreeType's own synthesis, but at least half
        // a pixel so that small bold labels still look bold.
        FT_Pos strength = std::max<FT_Pos>(pixelSize * 64 / 24, 32);
        FT_Outline_EmboldenXY(&slot->outline, strength, strength);
        // The outline grows on both sides; keep the left bearing.
        FT_Outline_Translate(&slot->outline, strength / 2, 0);
        advance += strength;
      }
      if (styled.slant) {
        FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
      }
      result.advance = static_cast<int>((advance + 32) >> 6);
      if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0 && slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        const FT_Bitmap& bitmap = slot->bitmap;
        result.left = slot->bitmap_left;
        result.top = slot->bitmap_top;
        result.width = static_cast<int>(bitmap.width);
        result.height = static_cast<int>(bitmap.rows);
        result.pixels.resize(static_cast<std::size_t>(result.width) * static_cast<std::size_t>(result.height));
        const int pitch = bitmap.pitch;
        for (int row = 0; row < result.height; ++row) {
          // A negative pitch stores the rows bottom up.
          const unsigned char* source =
              bitmap.buffer + static_cast<std::ptrdiff_t>(pitch >= 0 ? row : result.height - 1 - row) *
                                  (pitch >= 0 ? pitch : -pitch);
          std::copy(source, source + result.width,
                    result.pixels.begin() + static_cast<std::ptrdiff_t>(row) * result.width);
        }
      }
    }
    cachedBytes_ += sizeof(Glyph) + result.pixels.size();
    return &glyphs_.emplace(key, std::move(result)).first->second;
  }

  // Positions the glyphs of `text` on one line; false when no font can be had.
  bool lay(const std::string& text, const FontSpec& font, Layout& layout) {
    if (font.pixelSize < kMinPixelSize || font.pixelSize > kMaxPixelSize) return false;
    StyledFace styled = styledFace(font);
    if (!styled.face) return false;
    FT_Face face = styled.face;
    if (face->size->metrics.y_ppem != font.pixelSize &&
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(font.pixelSize)) != 0)
      return false;

    // Hinted TrueType size metrics are whole pixels already; rounding makes sure.
    layout.ascent = static_cast<int>((face->size->metrics.ascender + 32) >> 6);
    layout.height = layout.ascent + static_cast<int>((-face->size->metrics.descender + 32) >> 6);

    // Between calls only, so that no glyph pointer of this layout goes stale.
    if (cachedBytes_ > kMaxCachedBytes) {
      glyphs_.clear();
      cachedBytes_ = 0;
    }

    const bool kerning = FT_HAS_KERNING(face);
    FT_UInt previous = 0;
    int pen = 0;
    int inkRight = 0;
    layout.glyphs.reserve(text.size());
    for (char c : text) {
      FT_UInt index = FT_Get_Char_Index(face, static_cast<unsigned char>(c));
      if (kerning && previous != 0 && index != 0) {
        FT_Vector delta{0, 0};
        // Grid-fitted whole pixels, scaled down by FreeType at small sizes.
        if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &delta) == 0)
          pen += static_cast<int>((delta.x + 32) >> 6);
      }
      const Glyph* g = glyph(styled, font.pixelSize, index);
      layout.glyphs.push_back({g, pen});
      if (g->width > 0) inkRight = std::max(inkRight, pen + g->left + g->width);
      pen += g->advance;
      previous = index;
    }
    layout.width = std::max({pen, inkRight, 0});
    return true;
  }

  // Draws the glyphs as one covers another (a + b - ab); ink outside the
  // image, such as a slanted descender left of the pen's start, is cut off.
  static void compose(const Layout& layout, TextImage& image) {
    image.coverage.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), 0);
    for (const PlacedGlyph& placed : layout.glyphs) {
      const Glyph& g = *placed.glyph;
      for (int row = 0; row < g.height; ++row) {
        int y = layout.ascent - g.top + row;
        if (y < 0 || y >= image.height) continue;
        for (int column = 0; column < g.width; ++column) {
          int x = placed.x + g.left + column;
          if (x < 0 || x >= image.width) continue;
          unsigned a = g.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(g.width) +
                                static_cast<std::size_t>(column)];
          std::uint8_t& pixel =
              image.coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                             static_cast<std::size_t>(x)];
          unsigned b = pixel;
          pixel = static_cast<std::uint8_t>(a + b - (a * b + 127) / 255);
        }
      }
    }
  }

  std::mutex mutex_;
  FT_MemoryRec_ memory_{};
  FT_Library library_ = nullptr;
  std::map<std::string, std::array<FT_Face, 4>> folders_;
  std::map<FT_Face, int> faceIds_;
  std::map<GlyphKey, Glyph> glyphs_;
  std::size_t cachedBytes_ = 0;
};

}  // namespace

TextImage renderText(const std::string& text, const FontSpec& font) {
  return TextEngine::instance().render(printableText(text), font, true);
}

int textWidth(const std::string& text, const FontSpec& font) {
  return TextEngine::instance().render(printableText(text), font, false).width;
}

}  // namespace zvx::platform
