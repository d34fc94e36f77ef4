// zvx-data: sets up the per-user data folder the plug-in reads its files from.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "host/platform/Platform.h"
#include "storage/DataFolder.h"

namespace {

int usage() {
  std::fputs(
      "usage: zvx-data install\n"
      "\n"
      "  install   creates the documents folder when it is missing, then the ZVX\n"
      "            data folder inside it, and prints the data folder's path.\n"
      "\n"
      "The documents folder is ZVX_DOCUMENTS when set, else the system's own\n"
      "(XDG_DOCUMENTS_DIR, ~/.config/user-dirs.dirs, or ~/Documents).\n",
      stderr);
  return 2;
}

int install() {
  auto documents = zvx::platform::documentsFolder();
  if (!documents) {
    std::fputs("zvx-data: no documents folder is known (set HOME or ZVX_DOCUMENTS)\n", stderr);
    return 1;
  }
  // The user's own documents folder may not exist yet on a fresh system.
  std::error_code error;
  std::filesystem::create_directories(*documents, error);
  std::string folder;
  if (!zvx::findDataFolder("ZVX", folder)) {
    std::fprintf(stderr, "zvx-data: cannot create the data folder below %s\n", documents->c_str());
    return 1;
  }
  std::printf("%s\n", folder.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "install") == 0) return install();
  return usage();
}
