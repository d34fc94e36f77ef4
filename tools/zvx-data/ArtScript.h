// The skin's art description: one command a line, `#` to the end of a line a
// comment. A line is a command word, then words (quoted when they hold
// blanks), then options `name: value` (a value runs to the next option or the
// end of the line, so expressions may hold blanks):
//
//   knob knob_bd.bmp   size: KNOB  accent: bd  sweep: min
//   caption BDTone TONE
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zvx::data {

class ArtScript {
 public:
  struct Line {
    int number = 0;
    std::string command;
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> options;

    // The option's value, or null when the line has none.
    const std::string* option(const std::string& name) const;
  };

  // Throws SkinError naming `fileName` and the line.
  static ArtScript parse(const std::string& text, const std::string& fileName);

  const std::vector<Line>& lines() const { return lines_; }
  const std::string& fileName() const { return fileName_; }
  // "art.txt:12" for messages about a line.
  std::string where(const Line& line) const { return fileName_ + ":" + std::to_string(line.number); }

 private:
  std::string fileName_;
  std::vector<Line> lines_;
};

}  // namespace zvx::data
