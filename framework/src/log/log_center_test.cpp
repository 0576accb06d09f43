// The log centre: loggers, levels, records and the log file.
#include <cstdarg>
#include <thread>
#include <vector>

#include "dll_fixture.h"

namespace tessarine_test {
namespace {

class LogCenterTest : public FrameworkTest {
 protected:
  void Open(const std::wstring& log_directory) {
    ASSERT_NO_FATAL_FAILURE(StartWithRoot(log_directory));
    ASSERT_EQ(root_->QueryInterface(avcore::IID_ILogCenter, center_.out()), S_OK);
    manager_ = center_->GetLogManager();
    ASSERT_NE(manager_, nullptr);
  }
  void TearDown() override {
    center_.reset();
    FrameworkTest::TearDown();
  }
  // The SDK's pattern: level test, record, one Printf, delete.
  void Write(avcore::LoggerHandle logger, const char* file, int line, const char* format, ...) {
    if (manager_->GetLevel(logger) > 2) return;
    avcore::ILogRecord* record = manager_->BeginRecord(logger, 2, file, line);
    if (record == nullptr) return;
    va_list args;
    va_start(args, format);
    record->Printf(format, args);
    va_end(args);
    delete record;
  }
  std::vector<std::string> LinesContaining(const std::string& part) {
    std::vector<std::string> found;
    for (const std::string& line : ReadLines(LogFilePath())) {
      if (line.find(part) != std::string::npos) found.push_back(line);
    }
    return found;
  }

  Held<avcore::ILogCenter> center_;
  avcore::ILogManager* manager_ = nullptr;
};

// A record of "kivcore" becomes one line with module, level, file base name, line and text.
TEST_F(LogCenterTest, RecordBecomesOneLineInTheLogFile) {
  TempDir logs;
  ASSERT_NO_FATAL_FAILURE(Open(logs.path()));
  const std::wstring file = LogFilePath();
  ASSERT_EQ(file, logs.path() + L"\\Tessarine32_" + std::to_wstring(GetCurrentProcessId()) + L".log");
  const avcore::LoggerHandle logger = center_->CreateLogger("kivcore", 1, 2, 0);
  ASSERT_NE(logger, 0u);
  EXPECT_EQ(manager_->GetLevel(logger), 1);
  Write(logger, "core_env.cpp", 57, "CreateBaseCore success. avcirever: %s, sdkver: %s\n", "3.19.4.m_B00469_win32",
        "2.1.0.0");
  const auto lines = LinesContaining(" kivcore 2 core_env.cpp:57 ");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("core_env.cpp:57 CreateBaseCore success. avcirever: "
                          "3.19.4.m_B00469_win32, sdkver: 2.1.0.0"),
            std::string::npos);
  EXPECT_EQ(lines[0].back(), '0');  // the trailing line break was not doubled
}

// Levels: records below the logger's level are refused; TESSARINE_LOG_LEVEL raises a
// module's level so that it writes nothing at level 2.
TEST_F(LogCenterTest, LevelsDecideWhatIsWritten) {
  TempDir logs;
  ScopedEnv levels(kLogLevelVariable, L"kiv_wb=3");
  ASSERT_NO_FATAL_FAILURE(Open(logs.path()));
  const avcore::LoggerHandle core = center_->CreateLogger("kivcore", 1, 2, 0);
  const avcore::LoggerHandle board = center_->CreateLogger("kiv_wb", 1, 2, 0);
  ASSERT_NE(core, 0u);
  ASSERT_NE(board, 0u);
  EXPECT_NE(core, board);
  EXPECT_EQ(manager_->GetLevel(board), 3);
  EXPECT_EQ(manager_->BeginRecord(board, 2, "board.cpp", 1), nullptr);
  Write(board, "board.cpp", 1, "never written");
  EXPECT_EQ(manager_->BeginRecord(core, 0, "x.cpp", 1), nullptr);
  EXPECT_EQ(manager_->SetLevel(core, 4), S_OK);
  EXPECT_EQ(manager_->GetLevel(core), 4);
  Write(core, "x.cpp", 2, "never written");
  EXPECT_EQ(manager_->SetLevel(core, 2), S_OK);
  Write(core, "x.cpp", 3, "written");
  EXPECT_TRUE(LinesContaining("never written").empty());
  EXPECT_EQ(LinesContaining("x.cpp:3 written").size(), 1u);
}

// Unknown and released handles: level "off", no record; a logger needs a module name.
TEST_F(LogCenterTest, UnknownHandlesWriteNothing) {
  ASSERT_NO_FATAL_FAILURE(Open(L""));
  EXPECT_EQ(center_->CreateLogger(nullptr, 1, 2, 0), 0u);
  EXPECT_EQ(center_->CreateLogger("", 1, 2, 0), 0u);
  const avcore::LoggerHandle logger = center_->CreateLogger("kivcore", 1, 2, 0);
  EXPECT_EQ(center_->ReleaseLogger(logger), S_OK);
  EXPECT_EQ(center_->ReleaseLogger(logger), E_INVALIDARG);
  EXPECT_EQ(manager_->GetLevel(logger), avcore::kLogLevelOff);
  EXPECT_EQ(manager_->BeginRecord(logger, 2, "a.cpp", 1), nullptr);
  EXPECT_EQ(manager_->GetLevel(0), avcore::kLogLevelOff);
  EXPECT_EQ(manager_->SetLevel(logger, 1), E_INVALIDARG);
}

// Without a log directory (or with one that does not exist) there is no file, and
// records are accepted and dropped.
TEST_F(LogCenterTest, NoLogDirectoryMeansNoFile) {
  ASSERT_NO_FATAL_FAILURE(Open(L"C:\\does\\not\\exist\\log"));
  EXPECT_EQ(LogFilePath(), L"");
  const avcore::LoggerHandle logger = center_->CreateLogger("kivcore", 1, 2, 0);
  ASSERT_NE(logger, 0u);
  Write(logger, "a.cpp", 1, "dropped %d", 1);
  avcore::ILogRecord* open = manager_->BeginRecord(logger, 2, "a.cpp", 2);
  ASSERT_NE(open, nullptr);
  EXPECT_GT(LiveObjects(), 0);
  delete open;
}

// Records from many threads at once each arrive whole, as one line.
TEST_F(LogCenterTest, ConcurrentRecordsStayWhole) {
  TempDir logs;
  ASSERT_NO_FATAL_FAILURE(Open(logs.path()));
  const avcore::LoggerHandle logger = center_->CreateLogger("kivcore", 1, 2, 0);
  constexpr int kThreads = 8;
  constexpr int kRecords = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, logger, t] {
      for (int i = 0; i < kRecords; ++i) {
        Write(logger, "stream_manager.cpp", 100 + t, "thread %d record %d %s", t, i,
              "payload-payload-payload-payload-payload-payload-payload-payload");
      }
    });
  }
  for (auto& th : threads) th.join();
  const auto lines = LinesContaining(" kivcore 2 stream_manager.cpp:");
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kRecords));
  for (const std::string& line : lines) {
    const size_t at = line.find("stream_manager.cpp:");
    const int t = std::stoi(line.substr(at + 19)) - 100;
    EXPECT_NE(line.find("thread " + std::to_string(t) + " record "), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 7), "payload") << line;
  }
}

// A record's line comes out when the record is deleted, with every Printf joined.
TEST_F(LogCenterTest, RecordIsWrittenWhenDeleted) {
  TempDir logs;
  ASSERT_NO_FATAL_FAILURE(Open(logs.path()));
  const avcore::LoggerHandle logger = center_->CreateLogger("kivcore", 1, 2, 0);
  avcore::ILogRecord* record = manager_->BeginRecord(logger, 2, "sdk\\core\\kiv_cp_client.cpp", 9);
  ASSERT_NE(record, nullptr);
  auto print = [record](const char* format, ...) {
    va_list args;
    va_start(args, format);
    record->Printf(format, args);
    va_end(args);
  };
  print("part %d,", 1);
  print(" part %d", 2);
  EXPECT_TRUE(LinesContaining("kiv_cp_client.cpp:9").empty());
  delete record;
  const auto lines = LinesContaining(" kivcore 2 kiv_cp_client.cpp:9 part 1, part 2");
  EXPECT_EQ(lines.size(), 1u);
}

}  // namespace
}  // namespace tessarine_test
