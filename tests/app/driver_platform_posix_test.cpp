#include "app/driver_platform_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace cc {
namespace {

// Standard input replaced by a pipe holding a key press, for one test.
class PipedStdin {
 public:
  PipedStdin() {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(write(fds[1], "x\n", 2), 2);
    close(fds[1]);
    saved_ = dup(STDIN_FILENO);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
  }
  ~PipedStdin() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }
  std::string unread() {
    char buffer[8] = {};
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof(buffer) - 1);
    return got > 0 ? std::string(buffer, got) : std::string();
  }

 private:
  int saved_ = -1;
};

TEST(PosixDriverPlatformTest, NobodyAnswersWhenStdinIsNotATerminal) {
  PipedStdin input;
  PosixDriverPlatform platform;
  std::uint32_t mode = 7;
  EXPECT_FALSE(platform.get_stdin_console_mode(&mode));
  EXPECT_FALSE(anyone_to_answer(platform));
  EXPECT_EQ(input.unread(), "x\n") << "the question consumed input";
}

TEST(PosixDriverPlatformTest, ReportFileIsWrittenAndUnopenablePathRefused) {
  PosixDriverPlatform platform;
  const std::string path = ::testing::TempDir() + "cc_report_test.txt";
  ASSERT_TRUE(platform.write_report_file(path, "line one\nline two\n"));
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), "line one\nline two\n");
  std::remove(path.c_str());
  EXPECT_FALSE(platform.write_report_file("/nonexistent-dir/sub/report.txt", "x"));
}

}  // namespace
}  // namespace cc
