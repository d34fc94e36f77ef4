// Writes skin-like XML documents and attribute expressions as a seed corpus
// for fuzz_xml and fuzz_evaluate, plus every .xml file of the source tree's
// data folder (the default skin and the sound wizard) when there is one.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make-skin-seeds DIR\n", stderr);
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
