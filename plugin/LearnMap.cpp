#include "plugin/LearnMap.h"

namespace zvx {

LearnMap& learnMap() {
  static LearnMap map;
  return map;
}

}  // namespace zvx
