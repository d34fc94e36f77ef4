// The sound formats zvx-render knows by name, whichever writer the build has.
#include "tools/zvx-render/SoundFileWriter.h"

namespace zvx::render {

std::optional<SoundFormat> SoundFileWriter::formatNamed(std::string_view name) {
  if (name == "wav16") return SoundFormat::Wav16;
  if (name == "wav24") return SoundFormat::Wav24;
  if (name == "wav32f") return SoundFormat::Wav32Float;
  if (name == "flac") return SoundFormat::Flac;
  return std::nullopt;
}

std::string_view SoundFileWriter::nameOf(SoundFormat format) {
  switch (format) {
    case SoundFormat::Wav16:
      return "wav16";
    case SoundFormat::Wav24:
      return "wav24";
    case SoundFormat::Wav32Float:
      return "wav32f";
    case SoundFormat::Flac:
      return "flac";
  }
  return "wav24";
}

}  // namespace zvx::render
