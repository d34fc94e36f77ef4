// "ZVX is not installed correctly": the instrument says it when it is created
// (and destroyed) without its data folder. The sample loads that then fail for
// the same reason stay quiet until the folder has been found again, so that a
// user with a broken install gets one box, not one per file.
#pragma once

namespace zvx {

constexpr const char* kNotInstalled = "ZVX is not installed correctly";
constexpr const char* kNotInstalledCaption = "Error!";

class InstallNotice {
 public:
  // The data folder was looked up and found, or not; true when a load that
  // failed for want of it should tell the user now (not told since it was
  // last found).
  static bool missing();
  static void found();
  // The user has just been told.
  static void told();
};

}  // namespace zvx
