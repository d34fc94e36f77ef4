// Our own declaration of the published VST 3 binary interface: the COM-style
// interfaces (their IIDs and methods, in their published order), records and
// constants that a plug-in and its host exchange. Only what ZVX and its test
// host use is declared. Interfaces declare no destructor, so their tables hold
// the published methods alone, laid out alike by every compiler for a target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#define ZVX_VST3_API __stdcall
#else
#define ZVX_VST3_API
#endif

namespace zvx::vst3 {

using int8 = std::int8_t;
using uint8 = std::uint8_t;
using int16 = std::int16_t;
using uint16 = std::uint16_t;
using int32 = std::int32_t;
using uint32 = std::uint32_t;
using int64 = std::int64_t;
using uint64 = std::uint64_t;
using tresult = int32;
using TBool = uint8;
using char8 = char;
using char16 = char16_t;
using TChar = char16;
using String128 = TChar[128];
using FIDString = const char8*;
using CString = const char8*;
using TUID = char[16];

using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;
using ProgramListID = int32;
using ParamID = uint32;
using ParamValue = double;
using CtrlNumber = int16;
using SpeakerArrangement = uint64;
using TSamples = int64;
using TQuarterNotes = double;

// Result codes: COM's on Windows, small numbers elsewhere.
#if defined(_WIN32)
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002L);
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057L);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001L);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005L);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFL);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000EL);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif
constexpr tresult kResultTrue = kResultOk;

// A 16-byte interface or class ID from its four published 32-bit words. On
// Windows the bytes are a GUID's (first word and the halves of the second
// little-endian); elsewhere all four words are stored big-endian.
struct Uid {
  unsigned char bytes[16];
  bool operator==(const Uid&) const = default;
  bool is(const char* id) const { return id && std::memcmp(bytes, id, sizeof bytes) == 0; }
  const char* data() const { return reinterpret_cast<const char*>(bytes); }
  void copyTo(char* destination) const { std::memcpy(destination, bytes, sizeof bytes); }
};

constexpr Uid makeUid(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
  Uid id{};
  const auto put = [&id](int at, uint32 word) {
    for (int i = 0; i < 4; ++i) id.bytes[at + i] = static_cast<unsigned char>(word >> (24 - 8 * i));
  };
#if defined(_WIN32)
  for (int i = 0; i < 4; ++i) id.bytes[i] = static_cast<unsigned char>(l1 >> (8 * i));
  id.bytes[4] = static_cast<unsigned char>(l2 >> 16);
  id.bytes[5] = static_cast<unsigned char>(l2 >> 24);
  id.bytes[6] = static_cast<unsigned char>(l2);
  id.bytes[7] = static_cast<unsigned char>(l2 >> 8);
#else
  put(0, l1);
  put(4, l2);
#endif
  put(8, l3);
  put(12, l4);
  return id;
}

// ---------------------------------------------------------------------------
// Base

class FUnknown {
 public:
  virtual tresult ZVX_VST3_API queryInterface(const TUID iid, void** object) = 0;
  virtual uint32 ZVX_VST3_API addRef() = 0;
  virtual uint32 ZVX_VST3_API release() = 0;
  static constexpr Uid iid = makeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);

 protected:
  ~FUnknown() = default;
};

class IPluginBase : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API initialize(FUnknown* context) = 0;
  virtual tresult ZVX_VST3_API terminate() = 0;
  static constexpr Uid iid = makeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);

 protected:
  ~IPluginBase() = default;
};

struct PFactoryInfo {
  enum FactoryFlags : int32 { kNoFlags = 0, kClassesDiscardable = 1, kUnicode = 1 << 4 };
  enum { kURLSize = 256, kEmailSize = 128, kNameSize = 64 };
  char8 vendor[kNameSize];
  char8 url[kURLSize];
  char8 email[kEmailSize];
  int32 flags;
};

struct PClassInfo {
  enum { kManyInstances = 0x7FFFFFFF };
  enum { kCategorySize = 32, kNameSize = 64 };
  TUID cid;
  int32 cardinality;
  char8 category[kCategorySize];
  char8 name[kNameSize];
};

struct PClassInfo2 {
  enum { kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = 128 };
  TUID cid;
  int32 cardinality;
  char8 category[PClassInfo::kCategorySize];
  char8 name[PClassInfo::kNameSize];
  uint32 classFlags;
  char8 subCategories[kSubCategoriesSize];
  char8 vendor[kVendorSize];
  char8 version[kVersionSize];
  char8 sdkVersion[kVersionSize];
};

struct PClassInfoW {
  enum { kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = 128 };
  TUID cid;
  int32 cardinality;
  char8 category[PClassInfo::kCategorySize];
  char16 name[PClassInfo::kNameSize];
  uint32 classFlags;
  char8 subCategories[kSubCategoriesSize];
  char16 vendor[kVendorSize];
  char16 version[kVersionSize];
  char16 sdkVersion[kVersionSize];
};

// Class flags of an audio module.
enum ComponentFlags : uint32 { kDistributable = 1 << 0, kSimpleModeSupported = 1 << 1 };

class IPluginFactory : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32 ZVX_VST3_API countClasses() = 0;
  virtual tresult ZVX_VST3_API getClassInfo(int32 index, PClassInfo* info) = 0;
  virtual tresult ZVX_VST3_API createInstance(FIDString cid, FIDString iid, void** object) = 0;
  static constexpr Uid iid = makeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);

 protected:
  ~IPluginFactory() = default;
};

class IPluginFactory2 : public IPluginFactory {
 public:
  virtual tresult ZVX_VST3_API getClassInfo2(int32 index, PClassInfo2* info) = 0;
  static constexpr Uid iid = makeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);

 protected:
  ~IPluginFactory2() = default;
};

class IPluginFactory3 : public IPluginFactory2 {
 public:
  virtual tresult ZVX_VST3_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
  virtual tresult ZVX_VST3_API setHostContext(FUnknown* context) = 0;
  static constexpr Uid iid = makeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);

 protected:
  ~IPluginFactory3() = default;
};

class IBStream : public FUnknown {
 public:
  enum IStreamSeekMode : int32 { kIBSeekSet = 0, kIBSeekCur, kIBSeekEnd };
  virtual tresult ZVX_VST3_API read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
  virtual tresult ZVX_VST3_API write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
  virtual tresult ZVX_VST3_API seek(int64 pos, int32 mode, int64* result) = 0;
  virtual tresult ZVX_VST3_API tell(int64* pos) = 0;
  static constexpr Uid iid = makeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);

 protected:
  ~IBStream() = default;
};

// ---------------------------------------------------------------------------
// Component and processing

enum MediaTypes : MediaType { kAudio = 0, kEvent = 1 };
enum BusDirections : BusDirection { kInput = 0, kOutput = 1 };
enum BusTypes : BusType { kMain = 0, kAux = 1 };
enum IoModes : IoMode { kSimple = 0, kAdvanced, kOfflineProcessing };

struct BusInfo {
  enum BusFlags : uint32 { kDefaultActive = 1 << 0, kIsControlVoltage = 1 << 1 };
  MediaType mediaType;
  BusDirection direction;
  int32 channelCount;
  String128 name;
  BusType busType;
  uint32 flags;
};

struct RoutingInfo {
  MediaType mediaType;
  int32 busIndex;
  int32 channel;
};

class IComponent : public IPluginBase {
 public:
  virtual tresult ZVX_VST3_API getControllerClassId(TUID classId) = 0;
  virtual tresult ZVX_VST3_API setIoMode(IoMode mode) = 0;
  virtual int32 ZVX_VST3_API getBusCount(MediaType type, BusDirection dir) = 0;
  virtual tresult ZVX_VST3_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) = 0;
  virtual tresult ZVX_VST3_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
  virtual tresult ZVX_VST3_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
  virtual tresult ZVX_VST3_API setActive(TBool state) = 0;
  virtual tresult ZVX_VST3_API setState(IBStream* state) = 0;
  virtual tresult ZVX_VST3_API getState(IBStream* state) = 0;
  static constexpr Uid iid = makeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);

 protected:
  ~IComponent() = default;
};

namespace SpeakerArr {
constexpr SpeakerArrangement kEmpty = 0;
constexpr SpeakerArrangement kMono = 1 << 19;
constexpr SpeakerArrangement kStereo = (1 << 0) | (1 << 1);
}  // namespace SpeakerArr

enum SymbolicSampleSizes : int32 { kSample32 = 0, kSample64 = 1 };
enum ProcessModes : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };

struct ProcessSetup {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers {
  int32 numChannels;
  uint64 silenceFlags;
  union {
    float** channelBuffers32;
    double** channelBuffers64;
  };
};

struct NoteOnEvent {
  int16 channel;
  int16 pitch;
  float tuning;
  float velocity;
  int32 length;
  int32 noteId;
};

struct NoteOffEvent {
  int16 channel;
  int16 pitch;
  float velocity;
  int32 noteId;
  float tuning;
};

struct DataEvent {
  uint32 size;
  uint32 type;
  const uint8* bytes;
};

struct PolyPressureEvent {
  int16 channel;
  int16 pitch;
  float pressure;
  int32 noteId;
};

struct Event {
  enum EventTypes : uint16 { kNoteOnEvent = 0, kNoteOffEvent = 1, kDataEvent = 2, kPolyPressureEvent = 3 };
  int32 busIndex;
  int32 sampleOffset;
  TQuarterNotes ppqPosition;
  uint16 flags;
  uint16 type;
  union {
    NoteOnEvent noteOn;
    NoteOffEvent noteOff;
    DataEvent data;
    PolyPressureEvent polyPressure;
    // The largest member of the published union (a note expression text
    // event) fixes its size.
    unsigned char unionSize[24];
  };
};

class IEventList : public FUnknown {
 public:
  virtual int32 ZVX_VST3_API getEventCount() = 0;
  virtual tresult ZVX_VST3_API getEvent(int32 index, Event& e) = 0;
  virtual tresult ZVX_VST3_API addEvent(Event& e) = 0;
  static constexpr Uid iid = makeUid(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);

 protected:
  ~IEventList() = default;
};

class IParamValueQueue : public FUnknown {
 public:
  virtual ParamID ZVX_VST3_API getParameterId() = 0;
  virtual int32 ZVX_VST3_API getPointCount() = 0;
  virtual tresult ZVX_VST3_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
  virtual tresult ZVX_VST3_API addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
  static constexpr Uid iid = makeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);

 protected:
  ~IParamValueQueue() = default;
};

class IParameterChanges : public FUnknown {
 public:
  virtual int32 ZVX_VST3_API getParameterCount() = 0;
  virtual IParamValueQueue* ZVX_VST3_API getParameterData(int32 index) = 0;
  virtual IParamValueQueue* ZVX_VST3_API addParameterData(const ParamID& id, int32& index) = 0;
  static constexpr Uid iid = makeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);

 protected:
  ~IParameterChanges() = default;
};

struct ProcessContext;  // read by no one here: ZVX follows no transport

struct ProcessData {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 numSamples;
  int32 numInputs;
  int32 numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents;
  ProcessContext* processContext;
};

constexpr uint32 kNoTail = 0;

class IAudioProcessor : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                  SpeakerArrangement* outputs, int32 numOuts) = 0;
  virtual tresult ZVX_VST3_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) = 0;
  virtual tresult ZVX_VST3_API canProcessSampleSize(int32 symbolicSampleSize) = 0;
  virtual uint32 ZVX_VST3_API getLatencySamples() = 0;
  virtual tresult ZVX_VST3_API setupProcessing(ProcessSetup& setup) = 0;
  virtual tresult ZVX_VST3_API setProcessing(TBool state) = 0;
  virtual tresult ZVX_VST3_API process(ProcessData& data) = 0;
  virtual uint32 ZVX_VST3_API getTailSamples() = 0;
  static constexpr Uid iid = makeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);

 protected:
  ~IAudioProcessor() = default;
};

class IProcessContextRequirements : public FUnknown {
 public:
  virtual uint32 ZVX_VST3_API getProcessContextRequirements() = 0;
  static constexpr Uid iid = makeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);

 protected:
  ~IProcessContextRequirements() = default;
};

// ---------------------------------------------------------------------------
// Controller

struct ParameterInfo {
  enum ParameterFlags : int32 {
    kNoFlags = 0,
    kCanAutomate = 1 << 0,
    kIsReadOnly = 1 << 1,
    kIsWrapAround = 1 << 2,
    kIsList = 1 << 3,
    kIsHidden = 1 << 4,
    kIsProgramChange = 1 << 15,
    kIsBypass = 1 << 16,
  };
  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32 stepCount;
  ParamValue defaultNormalizedValue;
  UnitID unitId;
  int32 flags;
};

enum RestartFlags : int32 {
  kReloadComponent = 1 << 0,
  kIoChanged = 1 << 1,
  kParamValuesChanged = 1 << 2,
  kLatencyChanged = 1 << 3,
  kParamTitlesChanged = 1 << 4,
  kMidiCCAssignmentChanged = 1 << 5,
};

class IComponentHandler : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API beginEdit(ParamID id) = 0;
  virtual tresult ZVX_VST3_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
  virtual tresult ZVX_VST3_API endEdit(ParamID id) = 0;
  virtual tresult ZVX_VST3_API restartComponent(int32 flags) = 0;
  static constexpr Uid iid = makeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);

 protected:
  ~IComponentHandler() = default;
};

class IUnitHandler : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API notifyUnitSelection(UnitID unitId) = 0;
  virtual tresult ZVX_VST3_API notifyProgramListChange(ProgramListID listId, int32 programIndex) = 0;
  static constexpr Uid iid = makeUid(0x4B5147F8, 0x4654486B, 0x8DAB30BA, 0x163A3C56);

 protected:
  ~IUnitHandler() = default;
};

class IPlugView;

class IEditController : public IPluginBase {
 public:
  virtual tresult ZVX_VST3_API setComponentState(IBStream* state) = 0;
  virtual tresult ZVX_VST3_API setState(IBStream* state) = 0;
  virtual tresult ZVX_VST3_API getState(IBStream* state) = 0;
  virtual int32 ZVX_VST3_API getParameterCount() = 0;
  virtual tresult ZVX_VST3_API getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
  virtual tresult ZVX_VST3_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
  virtual tresult ZVX_VST3_API getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) = 0;
  virtual ParamValue ZVX_VST3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue ZVX_VST3_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue ZVX_VST3_API getParamNormalized(ParamID id) = 0;
  virtual tresult ZVX_VST3_API setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult ZVX_VST3_API setComponentHandler(IComponentHandler* handler) = 0;
  virtual IPlugView* ZVX_VST3_API createView(FIDString name) = 0;
  static constexpr Uid iid = makeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);

 protected:
  ~IEditController() = default;
};

enum KnobModes : int32 { kCircularMode = 0, kRelativCircularMode, kLinearMode };

class IEditController2 : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API setKnobMode(int32 mode) = 0;
  virtual tresult ZVX_VST3_API openHelp(TBool onlyCheck) = 0;
  virtual tresult ZVX_VST3_API openAboutBox(TBool onlyCheck) = 0;
  static constexpr Uid iid = makeUid(0x7F4EFE59, 0xF3204967, 0xAC27A3AE, 0xAFB63038);

 protected:
  ~IEditController2() = default;
};

// MIDI controller numbers beyond the 128 of the MIDI standard.
enum ControllerNumbers : CtrlNumber { kAfterTouch = 128, kPitchBend = 129 };

class IMidiMapping : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                           CtrlNumber midiControllerNumber, ParamID& id) = 0;
  static constexpr Uid iid = makeUid(0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5);

 protected:
  ~IMidiMapping() = default;
};

constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;
constexpr ProgramListID kNoProgramListId = -1;

struct UnitInfo {
  UnitID id;
  UnitID parentUnitId;
  String128 name;
  ProgramListID programListId;
};

struct ProgramListInfo {
  ProgramListID id;
  String128 name;
  int32 programCount;
};

class IUnitInfo : public FUnknown {
 public:
  virtual int32 ZVX_VST3_API getUnitCount() = 0;
  virtual tresult ZVX_VST3_API getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
  virtual int32 ZVX_VST3_API getProgramListCount() = 0;
  virtual tresult ZVX_VST3_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
  virtual tresult ZVX_VST3_API getProgramName(ProgramListID listId, int32 programIndex, String128 name) = 0;
  virtual tresult ZVX_VST3_API getProgramInfo(ProgramListID listId, int32 programIndex, CString attributeId,
                                              String128 attributeValue) = 0;
  virtual tresult ZVX_VST3_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
  virtual tresult ZVX_VST3_API getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                                   String128 name) = 0;
  virtual UnitID ZVX_VST3_API getSelectedUnit() = 0;
  virtual tresult ZVX_VST3_API selectUnit(UnitID unitId) = 0;
  virtual tresult ZVX_VST3_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                                            UnitID& unitId) = 0;
  virtual tresult ZVX_VST3_API setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;
  static constexpr Uid iid = makeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);

 protected:
  ~IUnitInfo() = default;
};

class IHostApplication : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API getName(String128 name) = 0;
  virtual tresult ZVX_VST3_API createInstance(TUID cid, TUID iid, void** object) = 0;
  static constexpr Uid iid = makeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);

 protected:
  ~IHostApplication() = default;
};

// ---------------------------------------------------------------------------
// Editor

struct ViewRect {
  int32 left;
  int32 top;
  int32 right;
  int32 bottom;
};

constexpr FIDString kPlatformTypeHWND = "HWND";
constexpr FIDString kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

class IPlugFrame;

class IPlugView : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API isPlatformTypeSupported(FIDString type) = 0;
  virtual tresult ZVX_VST3_API attached(void* parent, FIDString type) = 0;
  virtual tresult ZVX_VST3_API removed() = 0;
  virtual tresult ZVX_VST3_API onWheel(float distance) = 0;
  virtual tresult ZVX_VST3_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult ZVX_VST3_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult ZVX_VST3_API getSize(ViewRect* size) = 0;
  virtual tresult ZVX_VST3_API onSize(ViewRect* newSize) = 0;
  virtual tresult ZVX_VST3_API onFocus(TBool state) = 0;
  virtual tresult ZVX_VST3_API setFrame(IPlugFrame* frame) = 0;
  virtual tresult ZVX_VST3_API canResize() = 0;
  virtual tresult ZVX_VST3_API checkSizeConstraint(ViewRect* rect) = 0;
  static constexpr Uid iid = makeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);

 protected:
  ~IPlugView() = default;
};

class IPlugFrame : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
  static constexpr Uid iid = makeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);

 protected:
  ~IPlugFrame() = default;
};

class IPlugViewContentScaleSupport : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API setContentScaleFactor(float factor) = 0;
  static constexpr Uid iid = makeUid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);

 protected:
  ~IPlugViewContentScaleSupport() = default;
};

// Linux: the host's run loop, which calls the plug-in's handlers on its UI thread.
class IEventHandler : public FUnknown {
 public:
  virtual void ZVX_VST3_API onFDIsSet(int fd) = 0;
  static constexpr Uid iid = makeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);

 protected:
  ~IEventHandler() = default;
};

class ITimerHandler : public FUnknown {
 public:
  virtual void ZVX_VST3_API onTimer() = 0;
  static constexpr Uid iid = makeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);

 protected:
  ~ITimerHandler() = default;
};

class IRunLoop : public FUnknown {
 public:
  virtual tresult ZVX_VST3_API registerEventHandler(IEventHandler* handler, int fd) = 0;
  virtual tresult ZVX_VST3_API unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult ZVX_VST3_API registerTimer(ITimerHandler* handler, uint64 milliseconds) = 0;
  virtual tresult ZVX_VST3_API unregisterTimer(ITimerHandler* handler) = 0;
  static constexpr Uid iid = makeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);

 protected:
  ~IRunLoop() = default;
};

// ---------------------------------------------------------------------------
// Module entry

using GetFactoryProc = IPluginFactory*(ZVX_VST3_API*)();

constexpr const char* kVstAudioEffectClass = "Audio Module Class";
constexpr const char* kSdkVersionString = "VST 3.7.9";

// Layouts as published for 64-bit targets.
static_assert(sizeof(PFactoryInfo) == 452);
static_assert(sizeof(PClassInfo) == 116);
static_assert(sizeof(PClassInfo2) == 440);
static_assert(sizeof(PClassInfoW) == 696);
static_assert(sizeof(BusInfo) == 276);
static_assert(sizeof(ParameterInfo) == 792);
static_assert(offsetof(ParameterInfo, defaultNormalizedValue) == 776);
static_assert(sizeof(Event) == 48 && offsetof(Event, noteOn) == 24);
static_assert(sizeof(AudioBusBuffers) == 24);
static_assert(sizeof(ProcessSetup) == 24);
static_assert(sizeof(ProcessData) == 80);
static_assert(sizeof(UnitInfo) == 268);
static_assert(sizeof(ProgramListInfo) == 264);

}  // namespace zvx::vst3
