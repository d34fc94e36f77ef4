#include "editor/EditorScale.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/DesktopScale.h"
#include "platform/Platform.h"
#include "storage/DataFolder.h"
#include "storage/WholeFile.h"

namespace zvx {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// A positive finite number with blanks around it at most, else nothing. The
// decimal point is a point whatever the locale (a host's may say a comma), as
// Qt and GTK read their variables.
std::optional<double> number(const char* text) {
  if (!text) return std::nullopt;
  const char* end = text + std::strlen(text);
  while (text < end && isBlank(*text)) ++text;
  while (end > text && isBlank(end[-1])) --end;
  double value = 0.0;
  const auto [stop, problem] = std::from_chars(text, end, value);
  if (text == end || problem != std::errc() || stop != end || !std::isfinite(value) || value <= 0.0)
    return std::nullopt;
  return value;
}

}  // namespace

int EditorScale::nearest(double factor) {
  int best = kPercents.front();
  for (int percent : kPercents)
    if (std::fabs(percent - factor * 100.0) < std::fabs(best - factor * 100.0)) best = percent;
  return best;
}

std::optional<int> EditorScale::fromDesktop(std::optional<double> dpi) {
  for (const char* variable : {"GDK_SCALE", "QT_SCALE_FACTOR"})
    if (const std::optional<double> factor = number(std::getenv(variable))) return nearest(*factor);
  if (dpi && std::isfinite(*dpi) && *dpi > 0.0) return nearest(*dpi / 96.0);
  return std::nullopt;
}

std::optional<int> EditorScale::userChoice() {
  std::string folder;
  if (!findDataFolder("ZVX", folder)) return std::nullopt;
  std::FILE* file = platform::openRegularFile(folder + kFileName);
  if (!file) return std::nullopt;
  char text[16] = {};
  const std::size_t read = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  text[read] = 0;
  if (const std::optional<double> percent = number(text))
    for (int allowed : kPercents)
      if (*percent == allowed) return allowed;
  return std::nullopt;
}

int EditorScale::load() {
  if (const std::optional<int> chosen = userChoice()) return *chosen;
  // Asking opens a connection to the display: once a process, not at every plug-in a host makes.
  static const std::optional<double> dpi = platform::desktopDpi();
  return fromDesktop(dpi).value_or(100);
}

bool EditorScale::save(int percent) {
  std::string folder;
  if (!findDataFolder("ZVX", folder)) return false;
  const std::string text = std::to_string(percent) + "\n";
  return saveWholeFile(folder + kFileName, text.data(), text.size());
}

}  // namespace zvx
