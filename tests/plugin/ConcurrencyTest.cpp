// ZVX under a host's three threads at once, headless: the audio thread plays
// random MIDI with learned controllers; an automation thread moves random
// parameters, switches programs and loads chunks; the GUI thread opens,
// idles, drags in and closes the editor. Nothing may race or break (the
// sanitizer job runs this under ThreadSanitizer for ZVX_STRESS_SECONDS).

#include <random>

#include "engine/Parameters.h"
#include "tests/support/TestSupport.h"
#include "vsthost/HeadlessEditor.h"

namespace zvx::test {
namespace {

using namespace std::chrono_literals;

// Parameters moved by controllers 20 to 25, a sample menu among them.
const std::vector<std::pair<int, int>> kBindings = {{param::kBDTone, 20}, {param::kSDDecay, 21}, {param::kHHTone, 22},
                                                    {param::kVolume, 23}, {param::kCPTone, 24},  {param::kSDMenu, 25}};

TEST(ConcurrencyTest, AudioAutomationAndEditorThreadsTogether) {
  TempDocuments documents;
  documents.installDefaultData(ZVX_BUILT_DATA);
  documents.writeFile("Pluginccmap.bin", learnMapFile(kBindings));
  auto zvx = startZvx({}, {}, 256);
  ASSERT_TRUE(zvx);
  // Chunks taken before the threads start; the automation thread loads them.
  const std::vector<unsigned char> bank = chunkOf(*zvx, 0), preset = chunkOf(*zvx, 1);
  ASSERT_FALSE(bank.empty());

  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0}, changes{0};
  std::atomic<bool> finite{true};
  std::atomic<float> loudest{0.0f};
  std::thread audio([&] {
    std::mt19937 random(1);
    for (int block = 0; !stop; ++block) {
      std::vector<VstMidiEvent> events;
      if (block % 4 == 0) events.push_back(noteOn(static_cast<int>(random() % 256), 29 + static_cast<int>(random() % 18), 1 + static_cast<int>(random() % 127), static_cast<int>(random() % 16)));
      if (block % 3 == 0) events.push_back(controller(static_cast<int>(random() % 256), kBindings[random() % kBindings.size()].second, static_cast<int>(random() % 128)));
      if (block % 97 == 0) events.push_back(controller(0, 123, 0));
      const auto out = zvx->render(256, 256, events);
      for (const auto& channel : out)
        for (float sample : channel) {
          if (!std::isfinite(sample)) finite = false;
          loudest = std::max(loudest.load(), std::fabs(sample));
        }
      blocks = block + 1;
    }
  });
  std::thread automation([&] {
    std::mt19937 random(2);
    while (!stop) {
      switch (random() % 8) {
        case 0: zvx->dispatch(effSetProgram, 0, static_cast<VstIntPtr>(random() % 128)); break;
        case 1: {
          std::vector<unsigned char> copy = random() % 2 ? bank : preset;
          zvx->dispatch(effSetChunk, copy.size() == bank.size() ? 0 : 1, static_cast<VstIntPtr>(copy.size()), copy.data());
          break;
        }
        case 2: chunkOf(*zvx, static_cast<int>(random() % 2)); break;
        default:
          zvx->setParameter(static_cast<int>(random() % kNumParameters), static_cast<float>(random() % 1001) / 1000.0f);
      }
      ++changes;
      std::this_thread::sleep_for(1ms);
    }
  });
  // The GUI thread: the editor opened, idled with drags on its knobs, closed.
  testhost::HeadlessEditor editor(*zvx);
  const auto end = std::chrono::steady_clock::now() + stressDuration();
  std::mt19937 random(3);
  while (std::chrono::steady_clock::now() < end) {
    ASSERT_TRUE(editor.open());
    for (int idle = 0; idle < 20; ++idle) {
      if (idle % 5 == 2) {
        const int x = 30 + static_cast<int>(random() % 700), y = 60 + static_cast<int>(random() % 300);
        editor.drag(x, y, x, y - 20 + static_cast<int>(random() % 40), 4);
      } else {
        editor.idle();
      }
      std::this_thread::sleep_for(3ms);
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
  // One thread loads two banks in turn and selects programs; another takes
  // bank and preset chunks, which must each be one of what was loaded, never
  // a mixture; the audio thread plays notes meanwhile.
  TempDocuments documents;
  documents.installDefaultData(ZVX_BUILT_DATA);
  auto zvx = startZvx({}, {}, 256);
  ASSERT_TRUE(zvx);
  const std::vector<unsigned char> bankA = chunkOf(*zvx, 0);
  std::vector<unsigned char> bankB = bankA;
  for (std::size_t at = 2988 + 24; at + 4 <= bankB.size(); at += 356 * 7) {
    const float value = 0.125f;
    std::memcpy(bankB.data() + at, &value, 4);
  }
  std::set<std::vector<unsigned char>> records;
  for (const std::vector<unsigned char>* bank : {&bankA, static_cast<const std::vector<unsigned char>*>(&bankB)})
    for (std::size_t p = 0; p < 128; ++p)
      records.insert(std::vector<unsigned char>(bank->begin() + 2988 + 356 * p, bank->begin() + 2988 + 356 * (p + 1)));

  std::atomic<bool> stop{false};
  std::atomic<int> loads{0}, taken{0}, mixed{0};
  std::thread audio([&] {
    for (int block = 0; !stop; ++block)
      zvx->render(256, 256, block % 8 ? std::vector<VstMidiEvent>{} : std::vector<VstMidiEvent>{noteOn(0, 38)});
  });
  std::thread loader([&] {
    std::mt19937 random(7);
    for (int i = 0; !stop; ++i) {
      std::vector<unsigned char> bank = i % 2 ? bankB : bankA;
      zvx->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data());
      zvx->dispatch(effSetProgram, 0, static_cast<VstIntPtr>(random() % 128));
      ++loads;
    }
  });
  std::thread saver([&] {
    while (!stop) {
      const std::vector<unsigned char> bank = chunkOf(*zvx, 0), preset = chunkOf(*zvx, 1);
      if (bank != bankA && bank != bankB) ++mixed;
      if (!records.count(preset)) ++mixed;
      ++taken;
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
  // The bass drum's sample menu moved at once by a learned controller on the
  // audio thread and by two automation threads. Whenever the storm stops,
  // a hit plays exactly the file getParameter names: the hit of a fresh
  // instance that chose that file calmly.
  constexpr int kMenuController = 30;
  TempDocuments documents;
  documents.writeFile("Pluginccmap.bin", learnMapFile({{param::kBDMenu, kMenuController}}));
  std::vector<Channel> calm;  // the bass drum's output of a hit, by file
  for (int file = 0; file < 8; ++file)
    calm.push_back(renderZvx({{param::kBDMenu, static_cast<float>(file) / 7.0f}}, {noteOn(0, 35)}, 2048, 256)[2]);
  auto zvx = startZvx({}, {}, 256);
  ASSERT_TRUE(zvx);
  const auto end = std::chrono::steady_clock::now() + stressDuration();
  int storms = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::atomic<bool> stop{false};
    std::thread audio([&] {
      std::mt19937 random(static_cast<unsigned>(storms));
      while (!stop) zvx->render(256, 256, {controller(static_cast<int>(random() % 256), kMenuController, static_cast<int>(random() % 128))});
    });
    auto automate = [&](unsigned seed) {
      std::mt19937 random(seed);
      while (!stop) zvx->setParameter(param::kBDMenu, static_cast<float>(random() % 1001) / 1000.0f);
    };
    std::thread first(automate, 2 * storms + 1), second(automate, 2 * storms + 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(50 + 20 * (storms % 5)));
    stop = true;
    audio.join();
    first.join();
    second.join();
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
