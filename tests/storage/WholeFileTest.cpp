// Files saved whole: another process never reads a part, and a save that
// fails leaves the old file and nothing beside it.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "storage/WholeFile.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {


std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

TEST(WholeFileTest, ASaveReplacesTheFileAndAFailedOneLeavesIt) {
  TempFolder folder;
  const fs::path path = folder.path() / "bank.fxb";
  writeBytes(path, {1, 2, 3});
  ASSERT_TRUE(saveWholeFile(path.string(), "abcd", 4));
  EXPECT_EQ(readBytes(path), (Bytes{'a', 'b', 'c', 'd'}));

  // A full disk, as a file-size limit makes one for a child process.
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
    const rlimit limit{1024, 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    const std::vector<char> large(1 << 20, 'x');
    _exit(saveWholeFile(path.string(), large.data(), large.size()) ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save said it succeeded";
  EXPECT_EQ(readBytes(path), (Bytes{'a', 'b', 'c', 'd'}));
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"bank.fxb"});
  // A folder that is not there: no file, and no error beyond the answer.
  EXPECT_FALSE(saveWholeFile((folder.path() / "none" / "x").string(), "a", 1));
}

}  // namespace
}  // namespace zvx::test
