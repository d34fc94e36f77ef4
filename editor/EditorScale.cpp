#include "editor/EditorScale.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/DesktopScale.h"
#include "platform/Platform.h"
#include "storage/DataFolder.h"
#include "storage/WholeFile.h"

namespace zvx {
namespace {

// A positive finite number and nothing after it but blanks, else nothing.
std::optional<double> number(const char* text) {
  if (!text || !*text) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  while (end && (*end == ' ' || *end == '\n' || *end == '\r' || *end == '\t')) ++end;
  if (end == text || (end && *end) || !std::isfinite(value) || value <= 0.0) return std::nullopt;
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

int EditorScale::load() {
  std::string folder;
  if (findDataFolder("ZVX", folder)) {
    if (std::FILE* file = platform::openRegularFile(folder + kFileName)) {
      char text[16] = {};
      const std::size_t read = std::fread(text, 1, sizeof text - 1, file);
      std::fclose(file);
      text[read] = 0;
      if (const std::optional<double> percent = number(text))
        for (int allowed : kPercents)
          if (*percent == allowed) return allowed;
    }
  }
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
