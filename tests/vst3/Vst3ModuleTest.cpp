// The bundle as a VST 3 host finds and loads it: its layout and description,
// the module's entry points, the factory and its one class, and the one object
// that is both the audio processor and the edit controller, with the buses
// that carry the VST 2.4 module's six outputs. What a host gives it, it gives
// back: every reference is released by the end.
#include "tests/vst3/Vst3TestSupport.h"

namespace zvx::test {
namespace {

// The class ID as module descriptions write it: 32 hexadecimal digits, the published words in order.
std::string cidText() {
  char text[33];
  std::snprintf(text, sizeof text, "%08X%08X%08X%08X", 0xD5E32866u, 0x77552328u, 0xEEA30250u, 0x3E6D1C12u);
  return text;
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TEST(Vst3ModuleTest, BundleHoldsTheBinaryAndItsDescriptionWhereHostsLook) {
  const fs::path bundle = vst3Bundle();
  EXPECT_EQ(bundle.filename(), "ZVX.vst3");
  EXPECT_EQ(fs::path(vst3host::Module::binaryInBundle(bundle.string())), fs::path(ZVX_VST3_BINARY));
  EXPECT_TRUE(fs::is_regular_file(bundle / "Contents" / "x86_64-linux" / "ZVX.so"));
  const std::string description = readText(bundle / "Contents" / "Resources" / "moduleinfo.json");
  ASSERT_FALSE(description.empty()) << "no Contents/Resources/moduleinfo.json";
  // It describes the class the factory gives.
  EXPECT_NE(upper(description).find(cidText()), std::string::npos) << "the class ID " << cidText();
  for (const char* said : {"\"Audio Module Class\"", "\"ZVX\"", "Instrument", "Drum"})
    EXPECT_NE(description.find(said), std::string::npos) << said;
  vst3::PFactoryInfo info{};
  ASSERT_TRUE(vst3Module().factoryInfo(info));
  EXPECT_NE(description.find(std::string("\"") + info.vendor + "\""), std::string::npos) << info.vendor;
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

TEST(Vst3ModuleTest, FactoryDescribesOneDrumInstrument) {
  const vst3host::Module& module = vst3Module();
  vst3::PFactoryInfo info{};
  ASSERT_TRUE(module.factoryInfo(info));
  EXPECT_GT(strnlen(info.vendor, sizeof info.vendor), 0u);
  EXPECT_TRUE(vst3host::query<vst3::IPluginFactory2>(module.factory()));
  EXPECT_TRUE(vst3host::query<vst3::IPluginFactory3>(module.factory()));

  const std::vector<vst3host::ClassInfo> classes = module.classes();
  ASSERT_EQ(classes.size(), 1u);
  const vst3host::ClassInfo& zvx = classes[0];
  EXPECT_EQ(zvx.cid, kZvxClass);
  EXPECT_EQ(zvx.category, "Audio Module Class");
  EXPECT_EQ(zvx.name, "ZVX");
  EXPECT_EQ(zvx.cardinality, vst3::PClassInfo::kManyInstances);
  ASSERT_TRUE(zvx.hasInfo2);
  EXPECT_EQ(zvx.subCategories, "Instrument|Drum");
  EXPECT_EQ(zvx.vendor, info.vendor);
  EXPECT_FALSE(zvx.version.empty());
  EXPECT_EQ(zvx.sdkVersion.rfind("VST 3", 0), 0u) << zvx.sdkVersion;
  ASSERT_TRUE(zvx.hasUnicodeInfo);
  EXPECT_EQ(zvx.unicodeName, "ZVX");
  EXPECT_EQ(zvx.unicodeSubCategories, zvx.subCategories);
  EXPECT_EQ(zvx.unicodeVendor, zvx.vendor);
  EXPECT_EQ(zvx.unicodeVersion, zvx.version);

  // Nothing is made for a class or an interface it does not have.
  EXPECT_EQ(module.createInstance(vst3::makeUid(1, 2, 3, 4), vst3::IComponent::iid), nullptr);
  EXPECT_EQ(module.createInstance(kZvxClass, vst3::makeUid(1, 2, 3, 4)), nullptr);
}

// The processor and the controller are one object: the component names no controller class of its own,
// and every interface a host asks for answers with the same object behind it.
TEST(Vst3ModuleTest, OneObjectIsProcessorAndController) {
  TempDocuments documents;
  auto component = vst3Module().create<vst3::IComponent>(kZvxClass);
  ASSERT_TRUE(component);
  auto host = vst3host::make<vst3host::HostApplication>();
  ASSERT_EQ(component->initialize(host.get()), vst3::kResultOk);
  vst3::TUID controllerClass{};
  EXPECT_NE(component->getControllerClassId(controllerClass), vst3::kResultOk);

  const auto identity = [](vst3::FUnknown* object) {
    return vst3host::query<vst3::FUnknown>(object).get();
  };
  vst3::FUnknown* self = identity(component.get());
  ASSERT_NE(self, nullptr);
  auto processor = vst3host::query<vst3::IAudioProcessor>(component.get());
  auto controller = vst3host::query<vst3::IEditController>(component.get());
  auto second = vst3host::query<vst3::IEditController2>(component.get());
  auto mapping = vst3host::query<vst3::IMidiMapping>(component.get());
  auto units = vst3host::query<vst3::IUnitInfo>(component.get());
  auto base = vst3host::query<vst3::IPluginBase>(component.get());
  ASSERT_TRUE(processor && controller && second && mapping && units && base);
  EXPECT_EQ(identity(processor.get()), self);
  EXPECT_EQ(identity(controller.get()), self);
  EXPECT_EQ(identity(mapping.get()), self);
  EXPECT_EQ(identity(units.get()), self);
  // And back: the controller leads to the component.
  auto again = vst3host::query<vst3::IComponent>(controller.get());
  EXPECT_EQ(identity(again.get()), self);

  void* nothing = reinterpret_cast<void*>(1);
  EXPECT_EQ(component->queryInterface(vst3::makeUid(1, 2, 3, 4).data(), &nothing), vst3::kNoInterface);
  EXPECT_EQ(nothing, nullptr);

  EXPECT_EQ(component->terminate(), vst3::kResultOk);
  processor.reset();
  controller.reset();
  second.reset();
  mapping.reset();
  units.reset();
  base.reset();
  again.reset();
  EXPECT_EQ(component.reset(), 0u);
  EXPECT_EQ(host->references(), 1u) << "the host context is still held after terminate";
}

// One event input and the VST 2.4 module's six outputs: the stereo mix as the main bus, then each
// voice on a mono bus of its own, every bus active until the host says otherwise.
TEST(Vst3ModuleTest, BusesCarryTheMixAndEachVoice) {
  TempDocuments documents;
  std::string error;
  auto plugin = vst3host::Plugin::create(vst3Module(), error);
  ASSERT_TRUE(plugin) << error;
  EXPECT_TRUE(plugin->singleComponent());

  const auto events = plugin->buses(vst3::kEvent, vst3::kInput);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].mediaType, vst3::kEvent);
  EXPECT_EQ(events[0].direction, vst3::kInput);
  EXPECT_TRUE(events[0].flags & vst3::BusInfo::kDefaultActive);
  EXPECT_TRUE(plugin->buses(vst3::kAudio, vst3::kInput).empty());
  EXPECT_TRUE(plugin->buses(vst3::kEvent, vst3::kOutput).empty());

  const auto outputs = plugin->buses(vst3::kAudio, vst3::kOutput);
  ASSERT_EQ(outputs.size(), 5u);
  const char* names[] = {"Mix", "Kick", "Snare", "Hi-hat", "Clap"};
  for (std::size_t b = 0; b < outputs.size(); ++b) {
    SCOPED_TRACE(names[b]);
    EXPECT_EQ(vst3host::toUtf8(outputs[b].name), names[b]);
    EXPECT_EQ(outputs[b].mediaType, vst3::kAudio);
    EXPECT_EQ(outputs[b].direction, vst3::kOutput);
    EXPECT_EQ(outputs[b].channelCount, b == 0 ? 2 : 1);
    EXPECT_EQ(outputs[b].busType, b == 0 ? vst3::kMain : vst3::kAux);
    EXPECT_TRUE(outputs[b].flags & vst3::BusInfo::kDefaultActive);
    vst3::SpeakerArrangement arrangement = 0;
    EXPECT_EQ(plugin->processor()->getBusArrangement(vst3::kOutput, static_cast<vst3::int32>(b), arrangement),
              vst3::kResultOk);
    EXPECT_EQ(arrangement, b == 0 ? vst3::SpeakerArr::kStereo : vst3::SpeakerArr::kMono);
  }
  std::vector<vst3::SpeakerArrangement> own = {vst3::SpeakerArr::kStereo, vst3::SpeakerArr::kMono,
                                               vst3::SpeakerArr::kMono, vst3::SpeakerArr::kMono,
                                               vst3::SpeakerArr::kMono};
  EXPECT_EQ(plugin->processor()->setBusArrangements(nullptr, 0, own.data(), 5), vst3::kResultOk);

  // 32-bit samples only.
  EXPECT_EQ(plugin->processor()->canProcessSampleSize(vst3::kSample32), vst3::kResultOk);
  EXPECT_NE(plugin->processor()->canProcessSampleSize(vst3::kSample64), vst3::kResultOk);
  ASSERT_TRUE(plugin->start(44100.0, 256)) << plugin->error();
  EXPECT_EQ(plugin->outputChannels(), 6);
}

// Whatever the host hands it (its context, the component handler, streams, a frame), the plug-in lets go
// of by the time it is terminated, and it is gone when the host releases its last reference.
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

// A host may load the binary itself (and the same module twice, as scanners do beside a running
// instance): each load has its own entry and exit, and the first load goes on working.
TEST(Vst3ModuleTest, LoadsFromTheBinaryTooAndTwice) {
  TempDocuments documents;
  std::string error;
  {
    auto direct = vst3host::Module::load(ZVX_VST3_BINARY, error);
    ASSERT_TRUE(direct) << error;
    EXPECT_TRUE(direct->bundlePath().empty());
    ASSERT_EQ(direct->classes().size(), 1u);
    auto plugin = vst3host::Plugin::create(*direct, error);
    ASSERT_TRUE(plugin) << error;
    ASSERT_TRUE(plugin->start());
    EXPECT_GT(peak(plugin->render(4096, 512, {noteOn(0, 36)})[2]), 0.01f);
  }
  auto plugin = startVst3();
  ASSERT_TRUE(plugin);
  EXPECT_GT(peak(plugin->render(4096, 512, {noteOn(0, 36)})[2]), 0.01f);
}

// The host refuses what is no VST 3 module, saying why.
TEST(Vst3ModuleTest, HostRefusesWhatIsNoModule) {
  TempFolder folder;
  std::string error;
  EXPECT_FALSE(vst3host::Module::load(ZVX_MODULE_PATH, error));
  EXPECT_NE(error.find("ModuleEntry"), std::string::npos) << error;
  fs::create_directories(folder.path() / "Empty.vst3" / "Contents");
  EXPECT_FALSE(vst3host::Module::load((folder.path() / "Empty.vst3").string(), error));
  EXPECT_NE(error.find("Empty.so"), std::string::npos) << error;
}

}  // namespace
}  // namespace zvx::test
