#include "log_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tessarine::FileBaseName;
using tessarine::FormatLogLine;
using tessarine::LogLineFields;

LogLineFields Fields(const std::string& message) {
  LogLineFields f;
  f.time = {2024, 5, 1, 9, 8, 7, 6};
  f.thread_id = 4711;
  f.module = "kivcore";
  f.level = 2;
  f.file = "core_env.cpp";
  f.line = 57;
  f.message = message;
  return f;
}

// A record is one line: time, thread, module, level, file base name, line and message.
TEST(LogLineTest, LineCarriesEveryField) {
  EXPECT_EQ(FormatLogLine(Fields("Create base core success")),
            "2024-05-01 09:08:07.006 4711 kivcore 2 core_env.cpp:57 Create base core success\n");
}

// Trailing line breaks are dropped and inner ones become spaces: one record, one line.
TEST(LogLineTest, LineBreaksNeverSplitARecord) {
  EXPECT_EQ(FormatLogLine(Fields("Start loading av plugins.\n")),
            "2024-05-01 09:08:07.006 4711 kivcore 2 core_env.cpp:57 Start loading av plugins.\n");
  const std::string line = FormatLogLine(Fields("a\r\nb\nc\r\n\n"));
  EXPECT_EQ(line, "2024-05-01 09:08:07.006 4711 kivcore 2 core_env.cpp:57 a  b c\n");
  EXPECT_EQ(line.find('\n'), line.size() - 1);
  EXPECT_EQ(line.find('\r'), std::string::npos);
}

// A path given as the file is cut to its base name; an empty module shows as "-".
TEST(LogLineTest, FileIsCutToBaseName) {
  EXPECT_EQ(FileBaseName("C:\\src\\sdk\\core\\core_env.cpp"), "core_env.cpp");
  EXPECT_EQ(FileBaseName("sdk/core/kiv_cp_client.cpp"), "kiv_cp_client.cpp");
  EXPECT_EQ(FileBaseName("plain.cpp"), "plain.cpp");
  EXPECT_EQ(FileBaseName("dir/"), "");
  EXPECT_EQ(FileBaseName(nullptr), "");
  LogLineFields f = Fields("m");
  f.module.clear();
  f.file = "a/b\\c.cpp";
  EXPECT_EQ(FormatLogLine(f), "2024-05-01 09:08:07.006 4711 - 2 c.cpp:57 m\n");
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = tessarine::FormatV(format, args);
  va_end(args);
  return text;
}

// printf-style messages of any length are formatted whole.
TEST(LogLineTest, FormatHandlesLongMessages) {
  EXPECT_EQ(Format("hr=%x id=%s n=%d", 0x80004005u, "abc", -3), "hr=80004005 id=abc n=-3");
  const std::string big(1000, 'q');
  EXPECT_EQ(Format("<%s>", big.c_str()), "<" + big + ">");
  EXPECT_EQ(Format(nullptr), "");
}

}  // namespace
