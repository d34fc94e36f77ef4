// The audio-thread probe lives with the test host, where zvx-validate uses it
// too; tests name it as before.
#pragma once

#include "tools/testhost/AudioThreadProbe.h"

namespace zvx::test {

using testhost::AudioThreadCounts;
using testhost::audioThreadCounts;
using testhost::AudioThreadScope;

}  // namespace zvx::test
