// ZVX under a host's audio, automation and GUI threads at once: nothing may
// race or break (run under ThreadSanitizer for ZVX_STRESS_SECONDS).

#include <random>

#include "engine/Parameters.h"
#include "tests/support/TestSupport.h"
#include "vsthost/HeadlessEditor.h"

namespace zvx::test {
namespace {

using namespace std::chrono_literals;

// A seeded source of whole numbers below n.
struct Dice {
  explicit Dice(unsigned seed) : random(seed) {}
  int operator()(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }
  std::mt19937 random;
};

// Parameters moved by controllers 20 to 25, a sample menu among them.
const std::vector<std::pair<int, int>> kBindings = {{param::kBDTone, 20}, {param::kSDDecay, 21}, {param::kHHTone, 22},
                                                    {param::kVolume, 23}, {param::kCPTone, 24},  {param::kSDMenu, 25}};

TEST(ConcurrencyTest, AudioAutomationAndEditorThreadsTogether) {
  TempDocuments documents;
  documents.installDefaultData(ZVX_BUILT_DATA);
  documents.writeFile("Pluginccmap.bin", learnMapFile(kBindings));
  auto zvx = startZvx({}, {}, 256);
  // Chunks taken before the threads start; the automation thread loads them.
  const Bytes bank = chunkOf(*zvx, 0), preset = chunkOf(*zvx, 1);
  ASSERT_FALSE(bank.empty());

  std::atomic<bool> stop{false}, finite{true};
  std::atomic<int> blocks{0}, changes{0};
  std::atomic<float> loudest{0.0f};
  std::thread audio([&] {
    Dice dice(1);
    for (int block = 0; !stop; ++block) {
      std::vector<VstMidiEvent> events;
      if (block % 4 == 0) events.push_back(noteOn(dice(256), 29 + dice(18), 1 + dice(127), dice(16)));
      if (block % 3 == 0) events.push_back(controller(dice(256), kBindings[dice(6)].second, dice(128)));
      if (block % 97 == 0) events.push_back(controller(0, 123, 0));
      for (const auto& channel : zvx->render(256, 256, events))
        for (float sample : channel) {
          if (!std::isfinite(sample)) finite = false;
          loudest = std::max(loudest.load(), std::fabs(sample));
        }
      blocks = block + 1;
    }
  });
  std::thread automation([&] {
    for (Dice dice(2); !stop; ++changes, std::this_thread::sleep_for(1ms)) {
      switch (dice(8)) {
        case 0: zvx->dispatch(effSetProgram, 0, dice(128)); break;
        case 1: dice(2) ? setChunk(*zvx, bank, 0) : setChunk(*zvx, preset, 1); break;
        case 2: chunkOf(*zvx, dice(2)); break;
        default: zvx->setParameter(dice(kNumParameters), static_cast<float>(dice(1001)) / 1000.0f);
      }
    }
  });
  // The GUI thread: the editor opened, idled with drags on its knobs, closed.
  vsthost::HeadlessEditor editor(*zvx);
  const auto end = std::chrono::steady_clock::now() + stressDuration();
  Dice dice(3);
  while (std::chrono::steady_clock::now() < end) {
    ASSERT_TRUE(editor.open());
    for (int idle = 0; idle < 20; ++idle, std::this_thread::sleep_for(3ms)) {
      if (idle % 5 != 2) {
        editor.idle();
        continue;
      }
      const int x = 30 + dice(700), y = 60 + dice(300);
      editor.drag(x, y, x, y - 20 + dice(40), 4);
    }
    editor.close();
  }
  stop = true;
  audio.join();
  automation.join();
  EXPECT_TRUE(finite.load());
  EXPECT_GT(blocks.load(), 10);
  EXPECT_GT(changes.load(), 10);
  EXPECT_GT(loudest.load(), 0.001f);
}

TEST(ConcurrencyTest, ChunksAndProgramsFromTwoHostThreadsStayWhole) {
  // Chunks taken while banks load and programs change, notes playing: never a mixture.
  constexpr std::size_t kPrograms = 2988, kProgramSize = 356;
  TempDocuments documents;
  documents.installDefaultData(ZVX_BUILT_DATA);
  auto zvx = startZvx({}, {}, 256);
  const Bytes bankA = chunkOf(*zvx, 0);
  Bytes bankB = bankA;
  const float value = 0.125f;
  for (std::size_t at = kPrograms + 24; at + 4 <= bankB.size(); at += kProgramSize * 7)
    std::memcpy(&bankB[at], &value, 4);
  std::set<Bytes> records;
  for (const Bytes* bank : {&bankA, const_cast<const Bytes*>(&bankB)})
    for (std::size_t at = kPrograms; at < bank->size(); at += kProgramSize)
      records.insert(Bytes(bank->begin() + at, bank->begin() + at + kProgramSize));

  std::atomic<bool> stop{false};
  std::atomic<int> loads{0}, taken{0}, mixed{0};
  std::thread audio([&] {
    for (int block = 0; !stop; ++block)
      zvx->render(256, 256, block % 8 ? std::vector<VstMidiEvent>{} : std::vector<VstMidiEvent>{noteOn(0, 38)});
  });
  std::thread loader([&] {
    Dice dice(7);
    for (int i = 0; !stop; ++i, ++loads) {
      setChunk(*zvx, i % 2 ? bankB : bankA, 0);
      zvx->dispatch(effSetProgram, 0, dice(128));
    }
  });
  std::thread saver([&] {
    for (; !stop; ++taken) {
      const Bytes bank = chunkOf(*zvx, 0);
      if (bank != bankA && bank != bankB) ++mixed;
      if (!records.count(chunkOf(*zvx, 1))) ++mixed;
    }
  });
  std::this_thread::sleep_for(stressDuration());
  stop = true;
  for (std::thread* t : {&audio, &loader, &saver}) t->join();
  EXPECT_GT(loads.load(), 10);
  EXPECT_GT(taken.load(), 10);
  EXPECT_EQ(mixed.load(), 0);
}

TEST(ConcurrencyTest, MenuStormFromThreeThreadsLeavesValueAndLayerInAgreement) {
  // The sample menu moved by a learned controller and two automation threads:
  // after each storm a hit plays exactly the file getParameter names.
  constexpr int kMenuController = 30;
  TempDocuments documents;
  documents.writeFile("Pluginccmap.bin", learnMapFile({{param::kBDMenu, kMenuController}}));
  std::vector<Channel> calm;  // the bass drum's output of a hit, by file
  for (int file = 0; file < 8; ++file)
    calm.push_back(renderZvx({{param::kBDMenu, static_cast<float>(file) / 7.0f}}, {noteOn(0, 35)}, 2048, 256)[2]);
  auto zvx = startZvx({}, {}, 256);
  const auto end = std::chrono::steady_clock::now() + stressDuration();
  int storms = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::atomic<bool> stop{false};
    std::thread audio([&] {
      for (Dice dice(static_cast<unsigned>(storms)); !stop;)
        zvx->render(256, 256, {controller(dice(256), kMenuController, dice(128))});
    });
    auto automate = [&](unsigned seed) {
      for (Dice dice(seed); !stop;) zvx->setParameter(param::kBDMenu, static_cast<float>(dice(1001)) / 1000.0f);
    };
    std::thread first(automate, 2 * storms + 1), second(automate, 2 * storms + 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(50 + 20 * (storms % 5)));
    stop = true;
    for (std::thread* t : {&audio, &first, &second}) t->join();
    const float value = zvx->getParameter(param::kBDMenu);
    const int file = std::clamp(static_cast<int>(7.0f * value), 0, 7);
    // The learned controller leaves the engine awake: wait until it sleeps, as the calm instances did.
    zvx->render(5 * 44100, 4096);
    ASSERT_EQ(zvx->render(2048, 256, {noteOn(0, 35)})[2], calm[static_cast<std::size_t>(file)])
        << "storm " << storms << ", value " << value;
    ++storms;
  }
  EXPECT_GT(storms, 0);
}

}  // namespace
}  // namespace zvx::test
