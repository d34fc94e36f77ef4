// The bundle's X11 UI embedded as an LV2 host embeds it, on the private Xvfb.
#include <dlfcn.h>
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include "tests/lv2/Lv2Host.h"
#include "vsthost/HeadlessEditor.h"

// Last: Xlib defines None, Status and friends as macros.
#include "tests/gui/X11TestSupport.h"

namespace zvx::test {
namespace {

constexpr int kLeft = 10, kTop = 10;
constexpr int kLearnedController = 20;  // bound to BDTone
constexpr long kNextProgramTag = 98;

// The UI as a host holds it, with what it wrote (to the instance's ports, as a host does) and touched.
class HostedUi {
 public:
  HostedUi(const World& world, Instance& instance, Window parent, bool shareInstance = true) : instance_(instance) {
    LilvUIs* uis = lilv_plugin_get_uis(world.plugin());
    if (const LilvUI* ui = lilv_uis_get_by_uri(uis, world.uri(lv2::kUiUri).get())) {
      char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
      library_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
      lilv_free(path);
    }
    lilv_uis_free(uis);
    if (!library_) return;
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library_, "lv2ui_descriptor"));
    descriptor_ = entry ? entry(0) : nullptr;
    if (!descriptor_) return;
    dataAccess_.data_access = lilv_instance_get_descriptor(instance.lilv())->extension_data;
    parentFeature_.data = xid(parent);
    instanceFeature_.data = instance.handle();
    if (!shareInstance) features_.erase(features_.begin(), features_.begin() + 2);
    handle_ = descriptor_->instantiate(descriptor_, lv2::kPluginUri, ZVX_LV2_BUNDLE "/", &HostedUi::write, this,
                                       &widget_, features_.data());
    if (!handle_) return;
    for (int p = 0; p < kNumParameters; ++p) portEvent(p, instance.control(p));
  }
  ~HostedUi() {
    if (handle_) descriptor_->cleanup(handle_);
    if (library_) dlclose(library_);
  }
  HostedUi(const HostedUi&) = delete;
  HostedUi& operator=(const HostedUi&) = delete;

  bool valid() const { return handle_ != nullptr; }
  Window widget() const { return static_cast<Window>(reinterpret_cast<std::uintptr_t>(widget_)); }
  void idle(int times = 1) {
    auto* idle = static_cast<const LV2UI_Idle_Interface*>(descriptor_->extension_data(LV2_UI__idleInterface));
    for (int i = 0; i < times; ++i) ASSERT_EQ(idle->idle(handle_), 0);
  }
  void portEvent(int parameter, float value) {
    descriptor_->port_event(handle_, static_cast<uint32_t>(kFirstParameterPort + parameter), sizeof value, 0, &value);
  }

  std::vector<std::pair<int, float>> writes;  // parameter, value
  std::vector<std::pair<int, bool>> touches;  // parameter, grabbed
  std::pair<int, int> size;                   // as the UI asked

 private:
  static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    auto* self = static_cast<HostedUi*>(controller);
    ASSERT_TRUE(size == sizeof(float) && format == 0);
    const int parameter = static_cast<int>(port) - kFirstParameterPort;
    ASSERT_TRUE(parameter >= 0 && parameter < kNumParameters);
    float value;
    std::memcpy(&value, buffer, sizeof value);
    self->writes.emplace_back(parameter, value);
    self->instance_.control(parameter) = value;
  }
  static int resize(LV2UI_Feature_Handle self, int width, int height) {
    static_cast<HostedUi*>(self)->size = {width, height};
    return 0;
  }
  static void touch(LV2UI_Feature_Handle self, uint32_t port, bool grabbed) {
    static_cast<HostedUi*>(self)->touches.emplace_back(static_cast<int>(port) - kFirstParameterPort, grabbed);
  }

  Instance& instance_;
  void* library_ = nullptr;
  const LV2UI_Descriptor* descriptor_ = nullptr;
  LV2UI_Handle handle_ = nullptr;
  LV2UI_Widget widget_ = nullptr;
  LV2_Extension_Data_Feature dataAccess_{};
  LV2UI_Resize resizer_{this, &HostedUi::resize};
  LV2UI_Touch toucher_{this, &HostedUi::touch};
  LV2_Feature parentFeature_{LV2_UI__parent, nullptr};
  LV2_Feature instanceFeature_{LV2_INSTANCE_ACCESS_URI, nullptr};
  LV2_Feature dataFeature_{LV2_DATA_ACCESS_URI, &dataAccess_};
  LV2_Feature resizeFeature_{LV2_UI__resize, &resizer_};
  LV2_Feature touchFeature_{LV2_UI__touch, &toucher_};
  std::vector<const LV2_Feature*> features_{&instanceFeature_, &dataFeature_,  &parentFeature_,
                                             &resizeFeature_,   &touchFeature_, nullptr};
};

class Lv2UiTest : public X11Test {
 protected:
  void SetUp() override {
    X11Test::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    documents_.installDefaultData(ZVX_BUILT_DATA);
    documents_.writeFile("Pluginccmap.bin", learnMapFile({{param::kBDTone, kLearnedController}}));
    world_ = std::make_unique<World>();
    ASSERT_NE(world_->plugin(), nullptr);
    instance_ = std::make_unique<Instance>(*world_, map_);
    ASSERT_TRUE(instance_->valid());
  }
  void TearDown() override {
    instance_.reset();
    X11Test::TearDown();
  }
  float instrumentValue(int parameter) { return instance_->instrument().parameter(parameter); }
  bool portsFollowTheInstrument() {
    for (int p = 0; p < kNumParameters; ++p)
      if (instance_->control(p) != instrumentValue(p)) return false;
    return true;
  }
  void runBlock(const std::vector<VstMidiEvent>& events = {}) { instance_->run(256, events); }

  TempDocuments documents_;
  UridMap map_;
  std::unique_ptr<World> world_;
  std::unique_ptr<Instance> instance_;
};

// The UI requires the shared instance; a host without it gets no UI and no window of ours. At 150 % the UI
// asks for its scaled size.
TEST_F(Lv2UiTest, IsOfferedWithTheInstanceAndDeclinesWithoutIt) {
  const Window parent = makeParent(kLeft, kTop, 800, 500);
  HostedUi without(*world_, *instance_, parent, false);
  EXPECT_FALSE(without.valid());
  EXPECT_TRUE(children(parent).empty());

  documents_.writeFile("editor scale.txt", {'1', '5', '0'});
  const Window larger = makeParent(kLeft, kTop, 1200, 750);
  HostedUi scaled(*world_, *instance_, larger);
  ASSERT_TRUE(scaled.valid());
  EXPECT_EQ(scaled.size, std::make_pair(1200, 750));
}

// The same pixels as the VST editor, at the VST editor's size.
TEST_F(Lv2UiTest, ShowsWhatTheVstEditorShowsPixelForPixel) {
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  vst->dispatch(effSetProgram, 0, 5);
  vst->setParameter(param::kBDTone, 0.3f);
  StoredState state = stateOf(map_, chunkOf(*vst, 0), 5);
  ASSERT_EQ(restoreState(*instance_, state), LV2_STATE_SUCCESS);

  // One after the other in the same place.
  const Window vstParent = makeParent(kLeft, kTop, 800, 500);
  ASSERT_EQ(vst->dispatch(effEditOpen, 0, 0, xid(vstParent)), 1);
  ERect* rect = nullptr;
  vst->dispatch(effEditGetRect, 0, 0, &rect);
  ASSERT_NE(rect, nullptr);
  for (int i = 0; i < 5; ++i) vst->dispatch(effEditIdle);
  const gui::Surface vstPicture = read(children(vstParent).at(0));
  vst->dispatch(effEditClose);
  destroy(vstParent);

  const Window lv2Parent = makeParent(kLeft, kTop, 800, 500);
  HostedUi ui(*world_, *instance_, lv2Parent);
  ASSERT_TRUE(ui.valid());
  EXPECT_EQ(ui.size, std::make_pair(rect->right - rect->left, rect->bottom - rect->top));
  ASSERT_EQ(children(lv2Parent), std::vector<Window>{ui.widget()});
  ui.idle(5);
  const gui::Surface lv2Picture = read(ui.widget());
  EXPECT_EQ(lv2Picture.width(), 800);
  EXPECT_TRUE(samePicture(vstPicture, lv2Picture));
}

// Every change of a parameter reaches the host's port: the first idle's, a drag (between touches), a learned
// controller's and a program chosen in the editor. The host's own automation is shown, not written back.
TEST_F(Lv2UiTest, HostsPortsFollowEveryChangeOfTheInstrument) {
  const Window parent = makeParent(kLeft, kTop, 800, 500);
  HostedUi ui(*world_, *instance_, parent);
  ASSERT_TRUE(ui.valid());
  ui.idle();
  EXPECT_TRUE(portsFollowTheInstrument()) << "the first idle left ports unlike the instrument";

  // Where the views are, from the same skin in a headless VST editor.
  auto layout = startZvx();
  ASSERT_TRUE(layout);
  vsthost::HeadlessEditor layoutEditor(*layout);
  ASSERT_TRUE(layoutEditor.open());
  const auto knob = layoutEditor.find("CAnimKnob", param::kBDTone);
  const auto next = layoutEditor.find("ProgramStepButton", kNextProgramTag);
  ASSERT_TRUE(knob && next);
  layoutEditor.close();

  ui.writes.clear();
  const int x = kLeft + knob->centreX(), y = kTop + knob->centreY();
  input_->moveTo(x, y);
  input_->button(Button1, true);
  for (int step = 1; step <= 4; ++step) input_->moveTo(x, y - 10 * step);
  input_->button(Button1, false);
  ui.idle(2);
  EXPECT_EQ(ui.touches, (std::vector<std::pair<int, bool>>{{param::kBDTone, true}, {param::kBDTone, false}}));
  ASSERT_FALSE(ui.writes.empty());
  EXPECT_EQ(ui.writes.back(), std::make_pair(param::kBDTone, instrumentValue(param::kBDTone)));
  EXPECT_GT(instrumentValue(param::kBDTone), 0.6f);

  ui.writes.clear();
  runBlock({controller(0, kLearnedController, 3)});
  ui.idle();
  EXPECT_EQ(ui.writes, (std::vector<std::pair<int, float>>{{param::kBDTone, instrumentValue(param::kBDTone)}}));
  EXPECT_LT(instance_->control(param::kBDTone), 0.1f);

  ui.writes.clear();
  const gui::Surface before = read(ui.widget());
  instance_->control(param::kHHDecay) = 0.123f;  // the host tells its UI later, as some do
  runBlock();
  ui.idle();
  ui.portEvent(param::kHHDecay, 0.123f);
  ui.idle();
  EXPECT_FLOAT_EQ(instrumentValue(param::kHHDecay), 0.123f);
  EXPECT_TRUE(ui.writes.empty()) << "the host's own change was written back";
  EXPECT_FALSE(samePicture(before, read(ui.widget()))) << "the host's change is not shown";

  input_->click(kLeft + next->centreX(), kTop + next->centreY());
  ui.idle(2);
  runBlock();
  EXPECT_EQ(instance_->instrument().program(), 1);
  EXPECT_TRUE(portsFollowTheInstrument()) << "the ports kept the previous program's values";
}

}  // namespace
}  // namespace zvx::test
