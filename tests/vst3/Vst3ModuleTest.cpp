// The bundle as a VST 3 host finds and loads it, and the one object that is
// processor and controller, with the buses of the VST 2.4 module's outputs.
#include "tests/vst3/Vst3TestSupport.h"

namespace zvx::test {
namespace {

TEST(Vst3ModuleTest, BundleAndFactoryDescribeOneDrumInstrument) {
  const fs::path bundle = vst3Bundle();
  EXPECT_EQ(bundle.filename(), "ZVX.vst3");
  EXPECT_EQ(fs::path(vst3host::Module::binaryInBundle(bundle.string())), fs::path(ZVX_VST3_BINARY));
  EXPECT_TRUE(fs::is_regular_file(bundle / "Contents" / "x86_64-linux" / "ZVX.so"));

  const vst3host::Module& module = vst3Module();
  vst3::PFactoryInfo info{};
  ASSERT_TRUE(module.factoryInfo(info));
  EXPECT_GT(strnlen(info.vendor, sizeof info.vendor), 0u);
  EXPECT_TRUE(vst3host::query<vst3::IPluginFactory3>(module.factory()));
  const std::vector<vst3host::ClassInfo> classes = module.classes();
  ASSERT_EQ(classes.size(), 1u);
  const vst3host::ClassInfo& zvx = classes[0];
  EXPECT_EQ(zvx.cid, kZvxClass);
  EXPECT_EQ(zvx.category, "Audio Module Class");
  EXPECT_EQ(zvx.name, "ZVX");
  EXPECT_EQ(zvx.cardinality, vst3::PClassInfo::kManyInstances);
  ASSERT_TRUE(zvx.hasInfo2 && zvx.hasUnicodeInfo);
  EXPECT_EQ(zvx.subCategories, "Instrument|Drum");
  EXPECT_EQ(zvx.vendor, info.vendor);
  EXPECT_EQ(zvx.sdkVersion.rfind("VST 3", 0), 0u) << zvx.sdkVersion;
  EXPECT_FALSE(zvx.version.empty());
  EXPECT_EQ(std::tie(zvx.unicodeName, zvx.unicodeSubCategories, zvx.unicodeVendor, zvx.unicodeVersion),
            std::tie(zvx.name, zvx.subCategories, zvx.vendor, zvx.version));
  EXPECT_EQ(module.createInstance(vst3::makeUid(1, 2, 3, 4), vst3::IComponent::iid), nullptr);
  EXPECT_EQ(module.createInstance(kZvxClass, vst3::makeUid(1, 2, 3, 4)), nullptr);

  // Hosts that scan without loading read the description instead: it must say the same.
  std::string description = readText(bundle / "Contents" / "Resources" / "moduleinfo.json");
  ASSERT_FALSE(description.empty()) << "no Contents/Resources/moduleinfo.json";
  for (const std::string& said : {std::string("\"Audio Module Class\""), std::string("\"ZVX\""),
                                  std::string("Instrument"), std::string("Drum"), std::string("\"") + info.vendor + "\""})
    EXPECT_NE(description.find(said), std::string::npos) << said;
  for (char& c : description) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_NE(description.find("D5E3286677552328EEA302503E6D1C12"), std::string::npos) << "the class ID";
}

// Hosts bind to the factory and the module's entry and exit; nothing else of ours is theirs to bind to.
TEST(Vst3ModuleTest, ExportsTheFactoryAndTheModuleEntryAndExitOnly) {
  TempFolder folder;
  const ProgramRun run = runProgram("/usr/bin/nm", {"-D", "--defined-only", ZVX_VST3_BINARY}, folder.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::set<std::string> symbols;
  for (const std::string& line : linesOf(run.out)) symbols.insert(line.substr(line.rfind(' ') + 1));
  EXPECT_EQ(symbols, (std::set<std::string>{"GetPluginFactory", "ModuleEntry", "ModuleExit"}));
}

// The component names no controller class: every interface a host asks for is the same object.
TEST(Vst3ModuleTest, OneObjectIsProcessorAndController) {
  TempDocuments documents;
  auto component = vst3Module().create<vst3::IComponent>(kZvxClass);
  ASSERT_TRUE(component);
  auto host = vst3host::make<vst3host::HostApplication>();
  ASSERT_EQ(component->initialize(host.get()), vst3::kResultOk);
  vst3::TUID controllerClass{};
  EXPECT_NE(component->getControllerClassId(controllerClass), vst3::kResultOk);

  const auto identity = [](vst3::FUnknown* object) { return vst3host::query<vst3::FUnknown>(object).get(); };
  vst3::FUnknown* self = identity(component.get());
  ASSERT_NE(self, nullptr);
  auto controller = vst3host::query<vst3::IEditController>(component.get());
  ASSERT_TRUE(controller);
  EXPECT_TRUE(vst3host::query<vst3::IEditController2>(component.get()));
  for (vst3::FUnknown* face :
       {static_cast<vst3::FUnknown*>(vst3host::query<vst3::IAudioProcessor>(component.get()).get()),
        static_cast<vst3::FUnknown*>(controller.get()),
        static_cast<vst3::FUnknown*>(vst3host::query<vst3::IMidiMapping>(component.get()).get()),
        static_cast<vst3::FUnknown*>(vst3host::query<vst3::IUnitInfo>(component.get()).get()),
        static_cast<vst3::FUnknown*>(vst3host::query<vst3::IComponent>(controller.get()).get())})
    EXPECT_EQ(face ? identity(face) : nullptr, self);

  void* nothing = reinterpret_cast<void*>(1);
  EXPECT_EQ(component->queryInterface(vst3::makeUid(1, 2, 3, 4).data(), &nothing), vst3::kNoInterface);
  EXPECT_EQ(nothing, nullptr);
  EXPECT_EQ(component->terminate(), vst3::kResultOk);
  controller.reset();
  EXPECT_EQ(component.reset(), 0u);
  EXPECT_EQ(host->references(), 1u) << "the host context is still held after terminate";
}

// One event input; the stereo mix on the main bus, then each voice on a mono bus of its own; 32-bit only.
TEST(Vst3ModuleTest, BusesCarryTheMixAndEachVoice) {
  TempDocuments documents;
  std::string error;
  auto plugin = vst3host::Plugin::create(vst3Module(), error);
  ASSERT_TRUE(plugin) << error;
  EXPECT_TRUE(plugin->singleComponent());
  const auto events = plugin->buses(vst3::kEvent, vst3::kInput);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(events[0].flags & vst3::BusInfo::kDefaultActive);
  EXPECT_TRUE(plugin->buses(vst3::kAudio, vst3::kInput).empty());
  EXPECT_TRUE(plugin->buses(vst3::kEvent, vst3::kOutput).empty());

  const auto outputs = plugin->buses(vst3::kAudio, vst3::kOutput);
  ASSERT_EQ(outputs.size(), 5u);
  const char* names[] = {"Mix", "Kick", "Snare", "Hi-hat", "Clap"};
  std::vector<vst3::SpeakerArrangement> own;
  for (std::size_t b = 0; b < outputs.size(); ++b) {
    SCOPED_TRACE(names[b]);
    EXPECT_EQ(vst3host::toUtf8(outputs[b].name), names[b]);
    EXPECT_EQ(outputs[b].channelCount, b == 0 ? 2 : 1);
    EXPECT_EQ(outputs[b].busType, b == 0 ? vst3::kMain : vst3::kAux);
    EXPECT_TRUE(outputs[b].flags & vst3::BusInfo::kDefaultActive);
    vst3::SpeakerArrangement arrangement = 0;
    EXPECT_EQ(plugin->processor()->getBusArrangement(vst3::kOutput, static_cast<vst3::int32>(b), arrangement),
              vst3::kResultOk);
    own.push_back(b == 0 ? vst3::SpeakerArr::kStereo : vst3::SpeakerArr::kMono);
    EXPECT_EQ(arrangement, own.back());
  }
  EXPECT_EQ(plugin->processor()->setBusArrangements(nullptr, 0, own.data(), 5), vst3::kResultOk);
  EXPECT_EQ(plugin->processor()->canProcessSampleSize(vst3::kSample32), vst3::kResultOk);
  EXPECT_NE(plugin->processor()->canProcessSampleSize(vst3::kSample64), vst3::kResultOk);
  ASSERT_TRUE(plugin->start(44100.0, 256)) << plugin->error();
  EXPECT_EQ(plugin->outputChannels(), 6);
}

// Whatever the host hands it (context, handler, streams, a frame) is let go of by terminate.
TEST(Vst3ModuleTest, LetsGoOfEverythingTheHostGaveIt) {
  TempDocuments documents;
  documents.installDefaultData(ZVX_BUILT_DATA);
  auto plugin = startVst3();
  ASSERT_TRUE(plugin);
  plugin->render(2048, 256, {noteOn(0, 36), noteOn(100, 38), controller(300, 7, 100)});
  const auto state = plugin->state();
  ASSERT_TRUE(state);
  EXPECT_EQ(plugin->setState(*state), vst3::kResultOk);
  EXPECT_TRUE(plugin->controllerState());
  {
    auto editor = plugin->createEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->release(), 0u) << "the view outlives the host's reference";
    EXPECT_EQ(editor->frame().references(), 1u);
  }
  EXPECT_EQ(plugin->close(), 0u) << "the plug-in outlives the host's last reference";
  EXPECT_EQ(plugin->host().references(), 1u) << "the host context is still held";
  EXPECT_EQ(plugin->handler().references(), 1u) << "the component handler is still held";
}

// Scanners load the binary itself, beside a running instance of the bundle: both go on working.
TEST(Vst3ModuleTest, LoadsFromTheBinaryTooAndTwice) {
  TempDocuments documents;
  std::string error;
  auto direct = vst3host::Module::load(ZVX_VST3_BINARY, error);
  ASSERT_TRUE(direct) << error;
  auto first = vst3host::Plugin::create(*direct, error);
  ASSERT_TRUE(first && first->start()) << error;
  auto second = startVst3();
  ASSERT_TRUE(second);
  EXPECT_GT(peak(first->render(4096, 512, {noteOn(0, 36)})[2]), 0.01f);
  first.reset();
  direct.reset();
  EXPECT_GT(peak(second->render(4096, 512, {noteOn(0, 36)})[2]), 0.01f);
}

}  // namespace
}  // namespace zvx::test
