// libFuzzer target: any bytes as a skin attribute's expression, evaluated
// from every starting position against a table that already holds a few
// constants, as skins define them. Nothing may be read out of bounds or
// overflow the stack; a name the evaluator defines can be read back.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "skin/Evaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int length = static_cast<int>(std::strlen(text.c_str()));

  zvx::ConstantTable constants;
  constants.set("W", 1, 20.0);
  constants.set("knob_size", 9, 48.0);
  constants.set("kVertical", 9, 2.0);

  for (int position = 0; position <= length; ++position) {
    const std::size_t before = constants.count();
    double result = 0.0;
    const bool ok = zvx::Evaluate(constants, text.c_str(), position, result);
    // Only an assignment that succeeds may add a name, and only one.
    if (constants.count() > before + 1 || (!ok && constants.count() != before)) std::abort();
    if (ok && constants.count() == before + 1) {
      const zvx::SkinConstant& added = constants.at(before);
      double value = 0.0;
      if (!constants.find(added.name, std::strlen(added.name), value)) std::abort();
      if (!(value == result) && !(std::isnan(value) && std::isnan(result))) std::abort();
    }
  }
  return 0;
}
