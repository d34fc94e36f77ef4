// A save that fails leaves the old file and nothing beside it.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "storage/WholeFile.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

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
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
  // A folder that is not there: no file, and no error beyond the answer.
  EXPECT_FALSE(saveWholeFile((folder.path() / "none" / "x").string(), "a", 1));
}

}  // namespace
}  // namespace zvx::test
