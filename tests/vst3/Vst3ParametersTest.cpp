// What the controller tells a host: the 83 parameters under their VST 2.4
// indexes, titled and grouped as every front door shows them, the sample
// menus as lists of the sample names, the unused ones hidden; one program
// change parameter and a program list of the bank's 128 programs, which
// selects as effSetProgram does.
#include "engine/Parameters.h"
#include "instrument/ParameterTable.h"
#include "tests/vst3/Vst3TestSupport.h"

namespace zvx::test {
namespace {

class Vst3ParametersTest : public testing::Test {
 protected:
  void SetUp() override {
    documents_.installDefaultData(ZVX_BUILT_DATA);
    vst3_ = startVst3();
    ASSERT_TRUE(vst3_);
    vst2_ = startVst2();
  }

  TempDocuments documents_;
  std::unique_ptr<vst3host::Plugin> vst3_;
  std::unique_ptr<vsthost::Plugin> vst2_;
};

TEST_F(Vst3ParametersTest, DescribesTheVst2ParametersUnderTheirIndexes) {
  const std::vector<vst3host::Parameter> all = vst3_->parameters();
  EXPECT_EQ(static_cast<int>(all.size()), vst3_->parameterCount());
  std::set<vst3::ParamID> ids;
  int programChanges = 0;
  for (const vst3host::Parameter& p : all) {
    EXPECT_TRUE(ids.insert(p.id).second) << "ID " << p.id << " twice";
    EXPECT_GE(p.defaultNormalizedValue, 0.0);
    EXPECT_LE(p.defaultNormalizedValue, 1.0);
    if (p.id < static_cast<vst3::ParamID>(kNumParameters)) {
      SCOPED_TRACE("parameter " + std::to_string(p.id));
      const int index = static_cast<int>(p.id);
      const ParameterInfo& info = kParameterTable[static_cast<std::size_t>(index)];
      EXPECT_EQ(p.title, info.title);
      EXPECT_EQ(p.units, unitSymbol(info.unit));
      EXPECT_EQ(p.stepCount, info.kind == ParamKind::Switch ? 1 : info.kind == ParamKind::Choice ? 7 : 0);
      const bool unused = info.kind == ParamKind::Unused;
      EXPECT_EQ(p.has(vst3::ParameterInfo::kIsHidden), unused);
      EXPECT_EQ(p.has(vst3::ParameterInfo::kCanAutomate), !unused);
      EXPECT_FALSE(p.has(vst3::ParameterInfo::kIsProgramChange));
      EXPECT_FALSE(!unused && p.has(vst3::ParameterInfo::kIsReadOnly));
      // A fresh instance plays program 0, as the VST 2.4 module does.
      EXPECT_EQ(vst3_->parameter(p.id), shownAs(index, vst2_->getParameter(index)));
    } else if (p.has(vst3::ParameterInfo::kIsProgramChange)) {
      ++programChanges;
      EXPECT_EQ(p.stepCount, 127);
      EXPECT_EQ(vst3_->programParameter(), p.id);
      EXPECT_EQ(vst3_->parameter(p.id), 0.0);
      EXPECT_FALSE(vst3_->valueString(p.id, 5 / 127.0).empty());
    } else {
      // Beyond the 83 and the program: nothing a host would show or automate.
      EXPECT_TRUE(p.has(vst3::ParameterInfo::kIsHidden)) << p.id << " \"" << p.title << "\"";
      EXPECT_FALSE(p.has(vst3::ParameterInfo::kCanAutomate)) << p.id << " \"" << p.title << "\"";
    }
  }
  EXPECT_EQ(programChanges, 1);
  for (int index = 0; index < kNumParameters; ++index) EXPECT_TRUE(ids.count(idOf(index))) << "no parameter " << index;
}

// The sample menus offer the eight sample files, by name, at entry / 7; every other parameter says its
// value in words a host can show.
TEST_F(Vst3ParametersTest, SampleMenusListTheSampleNames) {
  const char* samples[] = {"BDA", "SDA", "HHA", "CPA", "BDB", "SDB", "HHB", "CPB"};
  for (int menu : param::kMenu)
    for (int entry = 0; entry < 8; ++entry)
      EXPECT_EQ(vst3_->valueString(idOf(menu), entry / 7.0), samples[entry]) << "menu " << menu << ", entry " << entry;
  for (int index = 0; index < kNumParameters; ++index)
    EXPECT_TRUE(!isAutomatable(index) || !vst3_->valueString(idOf(index), 0.5).empty()) << "parameter " << index;
}

// Units group the parameters as the editor's sections do (the hidden ones may be anywhere); one of
// them holds the one program list, of the 128 programs named as the VST 2.4 module names them.
TEST_F(Vst3ParametersTest, UnitsAreTheSectionsAndTheProgramListTheBanks) {
  const std::vector<vst3host::Unit> units = vst3_->units();
  std::map<std::string, vst3::UnitID> byName;
  std::set<vst3::UnitID> ids;
  for (const vst3host::Unit& unit : units) {
    byName[unit.name] = unit.id;
    EXPECT_TRUE(ids.insert(unit.id).second) << "unit ID " << unit.id << " twice";
  }
  for (const vst3host::Unit& unit : units)
    EXPECT_TRUE(unit.parentUnitId == vst3::kNoParentUnitId || ids.count(unit.parentUnitId)) << unit.name;
  for (int index = 0; index < kNumParameters; ++index) {
    const auto p = vst3_->parameterById(idOf(index));
    ASSERT_TRUE(p);
    if (!isAutomatable(index)) {
      EXPECT_TRUE(ids.count(p->unitId)) << "parameter " << index << " is in no unit";
      continue;
    }
    const auto unit = byName.find(sectionName(sectionOf(index)));
    ASSERT_NE(unit, byName.end()) << "no unit " << sectionName(sectionOf(index));
    EXPECT_EQ(p->unitId, unit->second) << "parameter " << index << " is not in unit " << unit->first;
  }

  const std::vector<vst3host::ProgramList> lists = vst3_->programLists();
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].programCount, 128);
  EXPECT_TRUE(std::any_of(units.begin(), units.end(), [&](const auto& u) { return u.programListId == lists[0].id; }))
      << "no unit has the program list";
  for (int program = 0; program < 128; ++program)
    EXPECT_EQ(vst3_->programName(lists[0].id, program), vst2_->programNameIndexed(program)) << program;
  EXPECT_FALSE(vst3_->programName(lists[0].id, 128));
  EXPECT_FALSE(vst3_->programName(lists[0].id, -1));
  EXPECT_FALSE(vst3_->programName(lists[0].id + 1, 0));
}

// A program chosen from the host's UI while it does not process (the controller's call alone) selects it
// as effSetProgram does, the host told on its own thread to read the values again; an edit stays with its
// program; and the processor plays it when processing resumes.
TEST_F(Vst3ParametersTest, ProgramChosenOnTheUiThreadIsEffSetProgram) {
  const auto program = vst3_->programParameter();
  ASSERT_TRUE(program);
  vst3_->setParameter(idOf(param::kHHDecay), normalized(0.123f));
  vst3_->render(64, 64);
  vst2_->setParameter(param::kHHDecay, 0.123f);
  vst3_->setProcessing(false);
  for (int number : {9, 0, 127}) {
    SCOPED_TRACE("program " + std::to_string(number));
    vst3_->handler().take();
    EXPECT_EQ(vst3_->controller()->setParamNormalized(*program, number / 127.0), vst3::kResultOk);
    vst2_->dispatch(effSetProgram, 0, number);
    EXPECT_EQ(vst3_->parameter(*program), number / 127.0);
    EXPECT_EQ(differentValues(shownValues(*vst3_), shownValues(*vst2_)), "");
    EXPECT_TRUE(vst3_->handler().restartedWith(vst3::kParamValuesChanged));
    for (const auto& call : vst3_->handler().calls())
      EXPECT_EQ(call.thread, std::this_thread::get_id()) << "a handler call from another thread";
  }
  vst3_->setProcessing(true);
  const std::vector<VstMidiEvent> groove = busyGroove(1, 44100);
  EXPECT_EQ(differences(renderVst3(*vst3_, 44100, {512}, groove), renderVst2(*vst2_, 44100, 512, groove)), "");
}

}  // namespace
}  // namespace zvx::test
