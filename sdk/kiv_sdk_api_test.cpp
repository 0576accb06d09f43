// The public API as an application sees it: kiv_sdk.dll loaded at run time, every export
// bound by name, value types shared across the boundary.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/win/unique_handle.h"
#include "core/env/testing/log_files.h"
#include "engine/testing/null_engine_handler.h"
#include "engine/testing/sdk_window.h"
#include "kiv_sdk.h"
#include "testing/temp_dir.h"
#include "testing/ui_thread.h"

// 1 when this program runs beside Tessarine32.dll, 0 in a folder without it.
#ifndef KIV_EXPECT_FRAMEWORK
#define KIV_EXPECT_FRAMEWORK 0
#endif

namespace {

struct Api {
  HMODULE module = nullptr;
  decltype(&KivGetEngine) getEngine = nullptr;
  decltype(&KivReleaseEngine) releaseEngine = nullptr;
  decltype(&KivMalloc) malloc = nullptr;
  decltype(&KivFree) free = nullptr;
  decltype(&KivMemCpy) memCpy = nullptr;
  decltype(&KivMemMov) memMov = nullptr;
  decltype(&KivStrCmp) strCmp = nullptr;
  decltype(&KivStrLen) strLen = nullptr;
  int mallocs = 0;
  int frees = 0;
};

Api& TheApi() {
  static Api api;
  return api;
}

template <class F>
void Bind(F& f, const char* name) {
  f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(TheApi().module, name)));
}

struct ApiEnvironment : ::testing::Environment {
  void SetUp() override {
    Api& api = TheApi();
    api.module = LoadLibraryW(L"kiv_sdk.dll");
    ASSERT_NE(api.module, nullptr);
    Bind(api.getEngine, "KivGetEngine");
    Bind(api.releaseEngine, "KivReleaseEngine");
    Bind(api.malloc, "KivMalloc");
    Bind(api.free, "KivFree");
    Bind(api.memCpy, "KivMemCpy");
    Bind(api.memMov, "KivMemMov");
    Bind(api.strCmp, "KivStrCmp");
    Bind(api.strLen, "KivStrLen");
  }
  void TearDown() override {
    if (TheApi().module) FreeLibrary(TheApi().module);
  }
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ApiEnvironment);

}  // namespace

// The application's copy of the value types allocates through the library's exports, as an
// import-linked application would.
extern "C" void* KivMalloc(int size) {
  ++TheApi().mallocs;
  return TheApi().malloc(size);
}
extern "C" void KivFree(void* p) {
  if (p) ++TheApi().frees;
  TheApi().free(p);
}

namespace {

using Handler = kiv_test::NullEngineHandler;

struct ApiTest : ::testing::Test {
  void SetUp() override {
    ASSERT_NE(TheApi().getEngine, nullptr);
    engine = TheApi().getEngine();
    ASSERT_NE(engine, nullptr);
  }
  void TearDown() override {
    ui.Run([] { TheApi().releaseEngine(); });
  }
  kiv_test::UiThread ui;
  kiv::IKivEngine* engine = nullptr;
};

const std::string kLongId(129, 'x');

}  // namespace

// Every export is there; the engine is one object until it is released.
TEST_F(ApiTest, ExportsAndOneEngine) {
  const Api& api = TheApi();
  for (const void* f :
       {(const void*)api.releaseEngine, (const void*)api.malloc, (const void*)api.free, (const void*)api.memCpy,
        (const void*)api.memMov, (const void*)api.strCmp, (const void*)api.strLen}) {
    EXPECT_NE(f, nullptr);
  }
  EXPECT_EQ(api.getEngine(), engine);
  EXPECT_EQ(api.strLen(nullptr), 0u);
  EXPECT_EQ(api.strCmp("a", "b"), -1);
  EXPECT_EQ(api.strCmp("b", "a"), 1);
  char buffer[4] = "abc";
  api.memCpy(buffer, nullptr, 3);
  EXPECT_STREQ(buffer, "abc");
  api.releaseEngine();
  api.releaseEngine();  // no engine: nothing happens
  engine = api.getEngine();
  EXPECT_NE(engine, nullptr);
}

// Strings and vectors made by the library are released by the application and the other
// way round, each block going back through KivFree exactly once.
TEST_F(ApiTest, ValueTypesCrossTheBoundary) {
  Api& api = TheApi();
  api.mallocs = 0;
  api.frees = 0;
  {
    kiv::String version = engine->GetVersion();
    EXPECT_STREQ(version.c_str(), "2.1.0.0");
    kiv::String copy = version;
    copy = "changed on this side";
    EXPECT_STREQ(version.c_str(), "2.1.0.0");
    kiv::Vector<kiv::DeviceInfo> mics = engine->GetDeviceManager()->GetMicrophoneDevices();
    EXPECT_EQ(mics.size(), 0);
    kiv::Vector<kiv::String> ids;
    ids.push_back("user-a");
    ids.push_back(version);
    unsigned request = 0;
    EXPECT_EQ(engine->GetSignaling()->UserStatusRefresh(ids, &request), 302);
    EXPECT_EQ(engine->GetSignaling()->Invite(kiv::Vector<kiv::String>(), "g", "m", &request), 1);
  }
  // The library's string block was freed here: one more free than this side allocated.
  EXPECT_EQ(api.frees, api.mallocs + 1);
}

// Every operation answers the documented codes for bad arguments and for an engine whose
// framework is not up; nothing crashes.
TEST_F(ApiTest, EveryOperationBeforeInit) {
  EXPECT_EQ(engine->Init(nullptr), 1);
  EXPECT_EQ(engine->Login(nullptr, nullptr, true, nullptr), 1);
  EXPECT_EQ(engine->Login("token", kLongId.c_str(), true, ""), 1);
  EXPECT_EQ(engine->Login("token", "bad id", true, ""), 1);
  EXPECT_EQ(engine->Login("token", "good_id-1", true, ""), 2);
  EXPECT_EQ(engine->Logout(), 2);
  EXPECT_NE(engine->GetSignaling(), nullptr);
  EXPECT_EQ(engine->JoinGroup(nullptr), 1);
  EXPECT_EQ(engine->JoinGroup("bad/group"), 1);
  EXPECT_EQ(engine->JoinGroup("group1"), 2);
  EXPECT_EQ(engine->LeaveGroup(), 2);
  EXPECT_EQ(engine->AddVideoPreview(0, nullptr, 3), 1);
  EXPECT_EQ(engine->RemoveVideoPreview(-1, nullptr), 1);
  EXPECT_EQ(engine->StartPublishVideo("v1", 0), 2);
  EXPECT_EQ(engine->StopPublishVideo(nullptr), 2);
  kiv::VideoProfile profile{640, 480, 15};
  EXPECT_EQ(engine->SetVideoProfile("v1", nullptr), 1);
  EXPECT_EQ(engine->SetVideoProfile("", &profile), 1);
  EXPECT_EQ(engine->SetVideoProfile("v1", &profile), 0);  // kept for the first publication
  EXPECT_EQ(engine->SetRemoteVideoRender(kLongId.c_str(), "v", nullptr, 9), 2);
  EXPECT_EQ(engine->GetVideoStats("u", "v", nullptr), 1);
  kiv::VideoStats stats{9, 9, 9, 9};
  EXPECT_EQ(engine->GetVideoStats(nullptr, nullptr, &stats), 2);
  EXPECT_EQ(stats.width, 0);
  EXPECT_EQ(engine->RegisterCaptureVideoFrameObserver(0, nullptr), 2);
  EXPECT_EQ(engine->RegisterRenderVideoFrameObserver("u", "v", nullptr), 2);
  EXPECT_EQ(engine->RegisterAudioFrameObserver(nullptr), 0);
  EXPECT_EQ(engine->RegisterRemoteRawAudioObserver(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(engine->StartPublishAudio("appdef_mic"), 2);
  EXPECT_EQ(engine->StopPublishAudio("appdef_mic"), 2);
  EXPECT_EQ(engine->StopPublishAudio("custom_appdef_mic"), 1);
  EXPECT_EQ(engine->StartPlayAudio(), 2);
  EXPECT_EQ(engine->StopPlayAudio(), 2);
  EXPECT_EQ(engine->GetRemoteAudioInfo(nullptr, nullptr), 0);
  EXPECT_EQ(engine->MuteRemoteAudio("u", "a", true), 2);
  EXPECT_EQ(engine->MuteRemoteAudio("u", "a", false), 2);
  EXPECT_NE(engine->GetDeviceManager(), nullptr);
  EXPECT_NE(engine->GetAudioEngine(), nullptr);
  EXPECT_EQ(engine->StartPublishScreenShare(0, 0, 100000, 100, 0), 1);
  EXPECT_EQ(engine->StartPublishScreenShare(0, 0, 100, 100, 0), 2);
  EXPECT_EQ(engine->StopPublishScreenShare(), 2);
  EXPECT_EQ(engine->StartScreenRecord(nullptr, 0, 0, 0, 0, true), 2);
  EXPECT_EQ(engine->StopScreenRecord(), 0);
  EXPECT_EQ(engine->StartLocalRecord("x.mp4", 0, false), 1);
  EXPECT_EQ(engine->StopLocalRecord(0), 1);
  EXPECT_EQ(engine->RemoteControlOperation("u", 0), 2);
  EXPECT_EQ(engine->RemoteControlOperation("u", 9), 1);
  EXPECT_NE(engine->GetWhiteBoard(), nullptr);

  kiv::IAudioEngine* audio = engine->GetAudioEngine();
  EXPECT_EQ(audio->GetSpeakerDevice(), -1);
  EXPECT_EQ(audio->GetMicrophoneDevice(), -1);
  EXPECT_EQ(audio->SetAudioParam(5, 1), 1);
  EXPECT_EQ(audio->SetAudioParam(8, 0), 1);
  EXPECT_EQ(audio->SetAudioParam(9, 3), 1);
  EXPECT_EQ(audio->SetAudioParam(42, 0), 1);
  EXPECT_EQ(audio->GetAudioParam(0), 0);
  EXPECT_EQ(audio->GetAudioParam(7), 0);
  EXPECT_EQ(engine->GetDeviceManager()->AddRtspPlugin(nullptr), 1);
  kiv::RtspPluginParam rtsp;
  rtsp.url = "rtsp://127.0.0.1/x";
  EXPECT_EQ(engine->GetDeviceManager()->AddRtspPlugin(&rtsp), 0);

  kiv::IKivSignaling* signaling = engine->GetSignaling();
  signaling->AddEventHandler(nullptr);
  // No framework, so no online or text-message business: as for a missing one.
  EXPECT_EQ(signaling->SendUserMsg("u", "hi", nullptr), 302);
  EXPECT_EQ(signaling->SendGroupMsg("hi", nullptr), 302);
  EXPECT_EQ(signaling->AcceptInvite("u", 1), 302);

  kiv::IKivWhiteBoard* board = engine->GetWhiteBoard();
  EXPECT_EQ(board->Create(nullptr), 1);
  EXPECT_EQ(board->GetPageCount(nullptr), 0);
  EXPECT_FALSE(board->Undo("none"));
  EXPECT_EQ(board->ClearCurrentPage("none"), 302);
}

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[64] = {0};
  return GetEnvironmentVariableW(name, value, 64) ? value : L"";
}

HWND FindSdkWindow() { return kiv_test::FindOwnSdkWindow(); }

}  // namespace

// Init checks its arguments first; a valid context on a thread with a message loop makes the
// hidden window there. Beside the framework Init succeeds and the release gives every
// framework object back and unloads it; without one Init fails with 302 and loads nothing.
TEST_F(ApiTest, InitOnMessageLoopThread) {
  Handler handler;
  kiv::EngineContext context;
  context.handler = &handler;
  int result = -1;
  ui.Run([&] { result = engine->Init(&context); });
  EXPECT_EQ(result, 1);  // empty app id
  context.appId = "App01";
  context.serverAddress = "host";
  ui.Run([&] { result = engine->Init(&context); });
  EXPECT_EQ(result, 1);
  context.serverAddress = "127.0.0.1:9000";
  SetEnvironmentVariableW(L"TESSARINE_LIVE_OBJECTS_AT_UNLOAD", nullptr);
  ui.Run([&] { result = engine->Init(&context); });
  EXPECT_EQ(result, KIV_EXPECT_FRAMEWORK ? 0 : 302);
  EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll") != nullptr, KIV_EXPECT_FRAMEWORK == 1);
  HWND window = FindSdkWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), ui.Id());
  // A device change posted from elsewhere is handled on that thread without harm.
  EXPECT_TRUE(PostMessageW(window, 0x8B0, 0, 0));
  EXPECT_TRUE(ui.Drain());
  ui.Run([] { TheApi().releaseEngine(); });
  EXPECT_EQ(FindSdkWindow(), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);
  if (KIV_EXPECT_FRAMEWORK) {
    EXPECT_EQ(Environment(L"TESSARINE_LIVE_OBJECTS_AT_UNLOAD"), L"0");
  }
}

#if KIV_EXPECT_FRAMEWORK

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

// A failure of the framework's bring-up makes Init answer 302 with everything rolled back;
// a later Init succeeds.
TEST_F(ApiTest, FailedBringUpRollsBack) {
  Handler handler;
  kiv::EngineContext context;
  context.handler = &handler;
  context.appId = "App01";
  for (const wchar_t* step : {L"IAvNet.Initialize", L"IKivConnection", L"GetObject"}) {
    SetEnvironmentVariableW(L"TESSARINE_FAIL", step);
    SetEnvironmentVariableW(L"TESSARINE_LIVE_OBJECTS_AT_UNLOAD", nullptr);
    int result = -1;
    ui.Run([&] { result = engine->Init(&context); });
    EXPECT_EQ(result, 302);
    EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);
    EXPECT_EQ(Environment(L"TESSARINE_LIVE_OBJECTS_AT_UNLOAD"), L"0");
  }
  SetEnvironmentVariableW(L"TESSARINE_FAIL", nullptr);
  int result = -1;
  ui.Run([&] { result = engine->Init(&context); });
  EXPECT_EQ(result, 0);
}

// The engine copies the context on a successful Init: the application's strings are then
// shared with the library, which gives them back when it is released.
TEST_F(ApiTest, ContextSharedAfterInit) {
  Handler handler;
  auto* context = new kiv::EngineContext;
  context->handler = &handler;
  context->appId = "SharedApp1";
  const int* header = reinterpret_cast<const int*>(context->appId.c_str()) - 3;
  int result = -1;
  ui.Run([&] { result = engine->Init(context); });
  ASSERT_EQ(result, 0);
  EXPECT_EQ(header[2], 1);  // one further sharer: the engine
  delete context;           // the engine's copy is now the only owner
  EXPECT_EQ(header[2], 0);
}

// Core log lines land in the framework's log file under "kivcore" with file base name and
// line; a module level above 2 writes nothing.
TEST_F(ApiTest, LogLines) {
  kiv_test::TempDir work;
  const std::wstring logDir = work.Sub(L"log");
  Handler handler;
  kiv::EngineContext context;
  context.handler = &handler;
  context.appId = "App01";
  const std::string workDir = Narrow(work.Path());
  context.workDir = workDir.c_str();
  int result = -1;
  ui.Run([&] { result = engine->Init(&context); });
  ASSERT_EQ(result, 0);
  const std::string longId(129, 'x');
  EXPECT_EQ(engine->Login("token", longId.c_str(), true, ""), 1);
  ui.Run([] { TheApi().releaseEngine(); });
  std::string log = kiv_test::ReadLogs(logDir);
  EXPECT_NE(log.find(" kivcore 2 core_engine.cpp:"), std::string::npos) << log;
  EXPECT_NE(log.find("Login userid too long"), std::string::npos);
  EXPECT_NE(log.find("Init sucess, hwenc=0, hedec=0, audioAutoPlay=1, audioAutoRecv=1"), std::string::npos);

  kiv_test::TempDir quiet;
  const std::wstring quietLogs = quiet.Sub(L"log");
  const std::string quietDir = Narrow(quiet.Path());
  context.workDir = quietDir.c_str();
  SetEnvironmentVariableW(L"TESSARINE_LOG_LEVEL", L"kivcore=3");
  engine = TheApi().getEngine();
  ui.Run([&] { result = engine->Init(&context); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(engine->Login("token", longId.c_str(), true, ""), 1);
  ui.Run([] { TheApi().releaseEngine(); });
  SetEnvironmentVariableW(L"TESSARINE_LOG_LEVEL", nullptr);
  EXPECT_EQ(kiv_test::ReadLogs(quietLogs).find(" kivcore "), std::string::npos);
}

// Without a working directory the log lies under the current directory, whatever
// characters its name holds.
TEST_F(ApiTest, LogUnderNonAsciiCurrentDirectory) {
  kiv_test::TempDir work;
  const std::wstring current = work.Sub(L"\u4F1A\u8BAE\u65E5\u5FD7");
  const std::wstring logDir = work.Sub(L"\u4F1A\u8BAE\u65E5\u5FD7\\log");
  wchar_t before[MAX_PATH] = {0};
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, before), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(current.c_str()));
  Handler handler;
  kiv::EngineContext context;
  context.handler = &handler;
  context.appId = "App01";
  context.workDir = "";
  int result = -1;
  ui.Run([&] { result = engine->Init(&context); });
  ui.Run([] { TheApi().releaseEngine(); });
  SetCurrentDirectoryW(before);
  ASSERT_EQ(result, 0);
  const std::string log = kiv_test::ReadLogs(logDir);
  EXPECT_NE(log.find("Init sucess"), std::string::npos) << "no log under the current directory";
}

#endif  // KIV_EXPECT_FRAMEWORK

namespace {

std::string ReadDeviceId() {
  char value[256] = {0};
  DWORD size = sizeof(value) - 1;
  if (RegGetValueA(HKEY_CURRENT_USER, "Software\\AppDataLow\\Qel", "DeviceId", RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return std::string();
  }
  return value;
}

// Runs this program again with one test selected and the expected device id in its
// environment; true when that run passed.
bool RunAgain(const char* filter, const std::string& expected) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  SetEnvironmentVariableA("KIV_EXPECTED_DEVICE_ID", expected.c_str());
  std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_filter=" + std::wstring(filter, filter + strlen(filter));
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  const kiv_common::UniqueHandle thread(pi.hThread);
  const kiv_common::UniqueHandle process(pi.hProcess);
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  SetEnvironmentVariableA("KIV_EXPECTED_DEVICE_ID", nullptr);
  return code == 0;
}

}  // namespace

// The device id is made on first use in HKCU; the next run of the program reads the same.
TEST_F(ApiTest, DeviceIdSurvivesRuns) {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\AppDataLow\\Qel", L"DeviceId");
  EXPECT_EQ(engine->Login("token", "user1", true, ""), 2);
  const std::string id = ReadDeviceId();
  ASSERT_EQ(id.size(), 38u);
  EXPECT_TRUE(RunAgain("ApiTest.DeviceIdNextRun", id));
  EXPECT_EQ(ReadDeviceId(), id);
}

// The second run of DeviceIdSurvivesRuns (skipped when run on its own).
TEST_F(ApiTest, DeviceIdNextRun) {
  const char* expected = std::getenv("KIV_EXPECTED_DEVICE_ID");
  if (!expected) GTEST_SKIP() << "only run by DeviceIdSurvivesRuns";
  EXPECT_EQ(ReadDeviceId(), expected);
  EXPECT_EQ(engine->Login("token", "user1", true, ""), 2);
  EXPECT_EQ(ReadDeviceId(), expected);
}
