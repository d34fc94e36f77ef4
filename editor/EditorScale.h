// The editor's size: one of five scales, the user's choice kept in the data
// folder ("editor scale.txt", the percentage as text), else what the desktop
// says (GDK_SCALE, then QT_SCALE_FACTOR, then the screen's dpi, 96 being
// 100 %), else 100 %.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace zvx {

class EditorScale {
 public:
  static constexpr std::array<int, 5> kPercents = {100, 125, 150, 175, 200};
  static constexpr const char* kFileName = "editor scale.txt";

  // The allowed percentage nearest to `factor` (1.0 is 100 %); the smaller
  // of two equally near.
  static int nearest(double factor);
  // The desktop's word, nearest allowed; nothing when neither variable nor
  // `dpi` says anything usable.
  static std::optional<int> fromDesktop(std::optional<double> dpi);
  // The user's choice, else the desktop's, else 100.
  static int load();
  // The user's choice alone; nothing when none was saved.
  static std::optional<int> userChoice();
  // Keeps `percent` (one of kPercents) for the next editor; false when it
  // cannot be saved.
  static bool save(int percent);
};

}  // namespace zvx
