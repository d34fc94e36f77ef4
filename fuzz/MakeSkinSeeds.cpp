// Writes skin-like XML documents and attribute expressions as a seed corpus
// for fuzz_xml and fuzz_evaluate, plus every .xml file of the source tree's
// data folder (the default skin and the sound wizard) when there is one.
// With --editor, seeds for fuzz_skin instead: a skin, a NUL byte, a wizard.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string fileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Small skins of every element type, and the default skin with its wizard.
int writeEditorSeeds(const fs::path& out) {
  const std::string wizard =
      "<settings><PRESET name=\"Choose\"/><PRESET name=\"Deep\"><SET param=\"BDTone\" value=\"0.3\"/>"
      "<SET param=\"3\" value=\"1/7\"/></PRESET></settings>";
  const std::vector<std::string> skins = {
      "<GUI><background filename=\"back.bmp\"/><CONSTANTS>W = 40, H = W/2</CONSTANTS>"
      "<knob x=\"10\" y=\"10\" w=\"W\" h=\"W\" id=\"3\" bitmap_bk=\"knob_bd.bmp\" stackbmp=\"yes\"/>"
      "<slider x=\"60\" y=\"10\" len=\"100\" id=\"4\" style=\"kVertical\" bitmap_handle=\"knob_sd.bmp\"/>"
      "<onoff x=\"100\" y=\"10\" id=\"0\" bitmap_handle=\"on_bd.bmp\"/>"
      "<display x=\"1\" y=\"100\" w=\"80\" h=\"H\" id=\"21\" fontcolor=\"#ff8000\" font=\"3\"/>"
      "<autodisp x=\"1\" y=\"130\" w=\"80\" h=\"12\" id=\"1\" link=\"2\"/>"
      "<optionmenu x=\"1\" y=\"150\" w=\"60\" h=\"12\" id=\"7\"><list><entry>A</entry><entry>B</entry></list>"
      "</optionmenu><vswitch x=\"200\" y=\"1\" id=\"5\" entries=\"3\" bitmap_handle=\"sync_bd.bmp\"/>"
      "<kick x=\"300\" y=\"1\" id=\"8\" bitmap_handle=\"pad_bd.bmp\"/><update src=\"3\" dst=\"4\"/>"
      "<wizard x=\"400\" y=\"1\" w=\"100\" h=\"14\" source=\"sound wizard.xml\"/>"
      "<skinselector x=\"500\" y=\"1\" w=\"100\" h=\"14\"/><about x=\"0\" y=\"0\" w=\"5\" h=\"5\"/></GUI>",
      "<GUI><background filename=\"back.bmp\"/><display x=\"0\" y=\"0\" w=\"2000000000\" h=\"20\" id=\"21\"/></GUI>",
  };
  int written = 0;
  for (const std::string& skin : skins)
    std::ofstream(out / ("editor" + std::to_string(written++)), std::ios::binary) << skin << '\0' << wizard;
#ifdef ZVX_SOURCE_DATA
  std::ofstream(out / "default", std::ios::binary)
      << fileText(fs::path(ZVX_SOURCE_DATA) / "skin" / "skin.xml") << '\0'
      << fileText(fs::path(ZVX_SOURCE_DATA) / "sound wizard.xml");
#endif
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--editor") return writeEditorSeeds(argv[2]);
  if (argc != 2) {
    std::fputs("usage: make-skin-seeds [--editor] DIR\n", stderr);
    return 2;
  }
  const std::vector<std::string> seeds = {
      "<skin><CONSTANTS W=\"800\" H=\"500\" kknob=\"W/16\"/><background bitmap=\"back.bmp\"/></skin>",
      "<skin>\n  <knob tag=\"2\" x=\"10\" y=\"20\" bitmap=\"knob.bmp\" frames=\"32\" default=\"0.5\"/>\n"
      "  <optionmenu tag=\"3\" x=\"1\" y=\"2\" w=\"60\" h=\"14\"><entry>Soft</entry><entry>Hard</entry></optionmenu>\n"
      "</skin>",
      "<a><b c=\"\"/><d>text<e/>more</d></a>",
      "<wizard><sound name=\"Deep\"><set param=\"BDTone\" value=\"0.3\"/></sound></wizard>",
      "<a b=\"1\" c=\"2\"></a>",
      "<x><y><z><w/></z></y></x>",
      "W*2+1",
      "(W+kknob)*2-1",
      "x = 3 $ 2 | 1 & 7",
      "-(2*3)/4.5",
      "kVertical|kLeft",
      "a=((((1))))",
  };
  const fs::path out = argv[1];
  int written = 0;
  for (const std::string& seed : seeds) std::ofstream(out / ("seed" + std::to_string(written++))) << seed;
#ifdef ZVX_SOURCE_DATA
  std::error_code error;
  for (fs::recursive_directory_iterator it(ZVX_SOURCE_DATA, error), end; !error && it != end; it.increment(error))
    if (it->is_regular_file() && it->path().extension() == ".xml")
      fs::copy_file(it->path(), out / ("data" + std::to_string(written++)), error);
#endif
  return 0;
}
