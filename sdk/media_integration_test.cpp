// Media between meeting participants through the public API: Windows test hosts, each with
// its own engine under wine64, against the meeting server and its media relay on loopback.
// Run from the x64 tree with --host=<kiv_cp_test_host.exe> --out=<folder for kept files>.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "server/testing/server_process.h"
#include "testing/hosts/wine_host.h"

using kiv_test::ServerProcess;
using kiv_test::WineHost;
using namespace std::chrono_literals;

namespace {

std::string g_hostPath;
std::string g_outDir = "/tmp";

bool StartsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

struct Pixels {
  long luma = -1;
  unsigned long checksum = 0;
};

Pixels ReadPixels(WineHost& host) {
  host.Send("pixels");
  std::string line;
  Pixels pixels;
  if (host.Expect([](const std::string& l) { return StartsWith(l, "pixels "); }, 10s, &line))
    std::sscanf(line.c_str(), "pixels %ld %lu", &pixels.luma, &pixels.checksum);
  return pixels;
}

struct Stats {
  int result = INT_MIN, width = 0, height = 0, fps = 0, bps = 0;
};

Stats ReadStats(WineHost& host, const std::string& user, const std::string& video) {
  host.Send("stats " + user + " " + video);
  std::string line;
  Stats stats;
  if (host.Expect([](const std::string& l) { return StartsWith(l, "stats "); }, 10s, &line))
    std::sscanf(line.c_str(), "stats %d %d %d %d %d", &stats.result, &stats.width, &stats.height, &stats.fps,
                &stats.bps);
  return stats;
}

// The host's Windows path for a Linux path (drive Z: is the root).
std::string WinPath(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

std::string RunShell(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[512];
  while (fgets(buffer, sizeof(buffer), pipe)) output += buffer;
  pclose(pipe);
  return output;
}

struct MediaIntegrationTest : ::testing::Test {
  void SetUp() override {
    ASSERT_FALSE(g_hostPath.empty()) << "run with --host=<kiv_cp_test_host.exe>";
    ASSERT_TRUE(server.Start());
  }

  // A host logged in as `user` and joined to the test's group.
  std::unique_ptr<WineHost> Member(const std::string& user) {
    auto host = std::make_unique<WineHost>(user, g_hostPath);
    EXPECT_TRUE(host->ExpectLine("ready", 30s)) << host->Transcript();
    EXPECT_EQ(host->Call("init " + std::string(kiv_test::kTestApp) + " " + server.address(), 30s), 0)
        << host->Transcript();
    EXPECT_EQ(host->Call("login " + kiv_test::MakeToken(user) + " " + user, 10s), 0) << host->Transcript();
    EXPECT_TRUE(host->ExpectLine("event 3 0", 20s)) << host->Transcript();
    EXPECT_EQ(host->Call("join media-room", 10s), 0) << host->Transcript();
    EXPECT_TRUE(host->ExpectLine("event 0 0", 20s)) << host->Transcript();
    return host;
  }

  ServerProcess server;
};

}  // namespace

// Alice publishes her camera at 640x480 15 fps; Bob is told, gives it a window and sees her
// moving pattern with about 15 fps, a bit rate and 640x480; Carol, joining late, gets it
// too. When Alice unpublishes Bob is told and his picture stops; when she leaves his stream
// is gone.
TEST_F(MediaIntegrationTest, CameraVideoReachesTheOthers) {
  auto alice = Member("alice");
  auto bob = Member("bob");
  ASSERT_EQ(alice->Call("profile 1 640 480 15", 10s), 0) << alice->Transcript();
  ASSERT_EQ(alice->Call("publish 1 0", 20s), 0) << alice->Transcript();
  ASSERT_TRUE(bob->ExpectLine("video alice 1 0", 20s)) << bob->Transcript();
  ASSERT_EQ(bob->Call("render alice 1", 20s), 0) << bob->Transcript();
  ASSERT_TRUE(bob->ExpectLine("video alice 1 2", 20s)) << bob->Transcript();

  std::this_thread::sleep_for(3s);
  const Pixels first = ReadPixels(*bob);
  std::this_thread::sleep_for(500ms);
  const Pixels second = ReadPixels(*bob);
  EXPECT_GT(first.luma, 10) << "the window stays dark";
  EXPECT_NE(first.checksum, second.checksum) << "the picture does not move";
  EXPECT_EQ(bob->Call("shot " + WinPath(g_outDir + "/bob_sees_alice.bmp"), 10s), 1);

  const Stats stats = ReadStats(*bob, "alice", "1");
  EXPECT_EQ(stats.result, 0);
  EXPECT_EQ(stats.width, 640);
  EXPECT_EQ(stats.height, 480);
  EXPECT_GE(stats.fps, 11);
  EXPECT_LE(stats.fps, 19);
  EXPECT_GT(stats.bps, 0);
  std::printf("bob's statistics of alice's video: %dx%d, %d fps, %d bit/s\n", stats.width, stats.height, stats.fps,
              stats.bps);

  auto carol = Member("carol");
  ASSERT_TRUE(carol->ExpectLine("video alice 1 0", 20s)) << carol->Transcript();
  ASSERT_EQ(carol->Call("render alice 1", 20s), 0) << carol->Transcript();
  EXPECT_TRUE(carol->ExpectLine("video alice 1 2", 20s)) << carol->Transcript();

  ASSERT_EQ(alice->Call("unpublish 1", 10s), 0) << alice->Transcript();
  ASSERT_TRUE(bob->ExpectLine("video alice 1 1", 20s)) << bob->Transcript();
  std::this_thread::sleep_for(1s);
  const Pixels stopped = ReadPixels(*bob);
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(ReadPixels(*bob).checksum, stopped.checksum) << "the window still updates";
  EXPECT_EQ(ReadStats(*bob, "alice", "1").result, 302) << "the stream outlived the unpublish";

  ASSERT_EQ(alice->Call("publish 1 0", 20s), 0) << alice->Transcript();
  ASSERT_TRUE(bob->ExpectLine("video alice 1 0", 20s)) << bob->Transcript();
  ASSERT_EQ(bob->Call("render alice 1", 20s), 0) << bob->Transcript();
  EXPECT_EQ(alice->Call("leave", 10s), 0);
  EXPECT_TRUE(bob->ExpectLine("video alice 1 1", 20s)) << bob->Transcript();
  EXPECT_TRUE(bob->ExpectLine("user alice 1", 20s)) << bob->Transcript();
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(ReadStats(*bob, "alice", "1").result, 302) << bob->Transcript();
}

// A camera recording writes an .mp4 that ffprobe reads as H.264 640x480 of about the time
// recorded; a path in a missing folder gives an error code.
TEST_F(MediaIntegrationTest, LocalRecordingIsAnMp4) {
  auto alice = Member("alice");
  const std::string path = g_outDir + "/alice_camera.mp4";
  std::remove(path.c_str());
  ASSERT_EQ(alice->Call("record " + WinPath(path) + " 0", 20s), 0) << alice->Transcript();
  std::this_thread::sleep_for(3s);
  ASSERT_EQ(alice->Call("stoprecord 0", 20s), 0) << alice->Transcript();
  const std::string probe = RunShell(
      "ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height "
      "-show_entries format=duration -of default=nw=1 '" +
      path + "' 2>&1");
  EXPECT_NE(probe.find("codec_name=h264"), std::string::npos) << probe;
  EXPECT_NE(probe.find("width=640"), std::string::npos) << probe;
  EXPECT_NE(probe.find("height=480"), std::string::npos) << probe;
  const size_t at = probe.find("duration=");
  ASSERT_NE(at, std::string::npos) << probe;
  const double duration = std::atof(probe.c_str() + at + 9);
  std::printf("recording of 3 s: %.3f s\n", duration);
  EXPECT_NEAR(duration, 3.0, 0.5);

  // The sink refuses the path only at the first frame: the recording ends, nothing is left.
  const std::string bad = g_outDir + "/no_such_folder/x.mp4";
  EXPECT_EQ(alice->Call("record " + WinPath(bad) + " 0", 20s), 0);
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(alice->Call("stoprecord 0", 20s), 0);
  FILE* left = std::fopen(bad.c_str(), "rb");
  EXPECT_EQ(left, nullptr);
  if (left) std::fclose(left);
}

// The camera that Alice publishes goes away: its capture stops and Bob's picture stops
// moving; it comes back and the picture moves again.
TEST_F(MediaIntegrationTest, CameraRemovedAndAddedAgain) {
  auto alice = Member("alice");
  auto bob = Member("bob");
  ASSERT_EQ(alice->Call("publish 1 0", 20s), 0) << alice->Transcript();
  ASSERT_TRUE(bob->ExpectLine("video alice 1 0", 20s)) << bob->Transcript();
  ASSERT_EQ(bob->Call("render alice 1", 20s), 0) << bob->Transcript();
  ASSERT_TRUE(bob->ExpectLine("video alice 1 2", 20s)) << bob->Transcript();

  alice->Send("cameras 0");
  ASSERT_TRUE(alice->ExpectLine("device 2", 20s)) << alice->Transcript();
  std::this_thread::sleep_for(1500ms);
  const Pixels still = ReadPixels(*bob);
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(ReadPixels(*bob).checksum, still.checksum) << "frames still arrive from a removed camera";

  alice->Send("cameras 1");
  ASSERT_TRUE(alice->ExpectLine("device 1", 20s)) << alice->Transcript();
  std::this_thread::sleep_for(3s);
  const Pixels again = ReadPixels(*bob);
  std::this_thread::sleep_for(500ms);
  EXPECT_NE(ReadPixels(*bob).checksum, again.checksum) << "capture did not resume";
}

namespace {

// Starts the PulseAudio server of a simulated host; its PULSE_SERVER value, "" on failure.
std::string StartPulseHost(const std::string& name) {
  std::string server = RunShell("bash -c 'source " KIV_SOURCE_DIR
                                "/scripts/session.sh >/dev/null 2>&1; "
                                "pulse_host_start " +
                                name + "'");
  while (!server.empty() && (server.back() == '\n' || server.back() == '\r')) server.pop_back();
  return server;
}

// Runs a shell command with the PulseAudio variables of that host.
std::string InPulseHost(const std::string& name, const std::string& command) {
  return RunShell("bash -c 'source " KIV_SOURCE_DIR
                  "/scripts/session.sh >/dev/null 2>&1; "
                  "pulse_host_env " +
                  name + " " + command + "'");
}

std::vector<std::pair<std::string, std::string>> PulseEnvironment(const std::string& server) {
  const std::string dir = server.substr(std::strlen("unix:"), server.rfind('/') - std::strlen("unix:"));
  return {{"PULSE_SERVER", server}, {"PULSE_RUNTIME_PATH", dir}, {"XDG_RUNTIME_DIR", dir}};
}

struct ToneMeasure {
  double frequency = 0;  // spectral peak over the longest audible stretch
  double rmsDb = -200;   // of the loudest second, gaps included
  double audible = 0;    // share of 10 ms blocks above -50 dBFS in that recording
  int longestGapMs = 0;  // after the first audible block
};

// Power of `f` Hz in 48 kHz samples (Goertzel).
double PowerAt(const int16_t* samples, size_t count, double f) {
  const double k = 2 * std::cos(2 * M_PI * f / 48000.0);
  double s1 = 0, s2 = 0;
  for (size_t i = 0; i < count; ++i) {
    const double s0 = samples[i] + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// Frequency, level and gaps of 16-bit mono PCM at 48 kHz. The frequency is the strongest of
// 900-1100 Hz (1 Hz steps) over the longest run of audible 10 ms blocks (at most 0.5 s).
ToneMeasure MeasureTone(const std::vector<int16_t>& pcm) {
  ToneMeasure m;
  const size_t block = 480, second = 48000;
  for (size_t start = 0; start + second <= pcm.size(); start += second / 4) {
    double energy = 0;
    for (size_t i = start; i < start + second; ++i) energy += static_cast<double>(pcm[i]) * pcm[i];
    m.rmsDb = std::max(m.rmsDb, 10 * std::log10(energy / second / (32768.0 * 32768.0) + 1e-20));
  }
  size_t audibleBlocks = 0, blocks = 0, gap = 0, run = 0, bestRun = 0, bestEnd = 0;
  bool started = false;
  for (size_t start = 0; start + block <= pcm.size(); start += block, ++blocks) {
    double energy = 0;
    for (size_t i = start; i < start + block; ++i) energy += static_cast<double>(pcm[i]) * pcm[i];
    const bool audible = energy / block > 100.0 * 100.0;
    run = audible ? run + 1 : 0;
    if (run > bestRun) {
      bestRun = run;
      bestEnd = start + block;
    }
    if (audible) {
      ++audibleBlocks;
      if (started) m.longestGapMs = std::max(m.longestGapMs, static_cast<int>(gap * 10));
      started = true;
      gap = 0;
    } else if (started) {
      ++gap;
    }
  }
  const size_t length = std::min<size_t>(bestRun * block, 24000);
  double strongest = 0;
  for (int f = 900; length > 0 && f <= 1100; ++f) {
    const double power = PowerAt(pcm.data() + bestEnd - length, length, f);
    if (power > strongest) {
      strongest = power;
      m.frequency = f;
    }
  }
  m.audible = blocks ? static_cast<double>(audibleBlocks) / blocks : 0;
  return m;
}

}  // namespace

// Alice's microphone, fed a 1 kHz tone in her own PulseAudio, is heard from Bob's speaker in
// his: Bob receives her announced audio by himself and plays it.
TEST_F(MediaIntegrationTest, MicrophoneHeardAtTheOtherHost) {
  const std::string alicePulse = StartPulseHost("alice");
  const std::string bobPulse = StartPulseHost("bob");
  ASSERT_FALSE(alicePulse.empty());
  ASSERT_FALSE(bobPulse.empty());
  auto member = [&](const std::string& user, const std::string& pulse) {
    auto host = std::make_unique<WineHost>(user, g_hostPath, PulseEnvironment(pulse));
    EXPECT_TRUE(host->ExpectLine("ready", 30s)) << host->Transcript();
    EXPECT_EQ(host->Call("init " + std::string(kiv_test::kTestApp) + " " + server.address(), 30s), 0);
    EXPECT_EQ(host->Call("login " + kiv_test::MakeToken(user) + " " + user, 10s), 0);
    EXPECT_TRUE(host->ExpectLine("event 3 0", 20s)) << host->Transcript();
    EXPECT_EQ(host->Call("join voice-room", 10s), 0);
    EXPECT_TRUE(host->ExpectLine("event 0 0", 20s)) << host->Transcript();
    return host;
  };
  auto alice = member("alice", alicePulse);
  auto bob = member("bob", bobPulse);
  const std::string tone = g_outDir + "/tone_1k.wav";
  RunShell("sox -n -r 48000 -c 1 -b 16 '" + tone + "' synth 14 sine 1000 vol 0.15 2>&1");
  ASSERT_EQ(alice->Call("mic", 10s), 0) << alice->Transcript();
  ASSERT_TRUE(bob->ExpectLine("audio alice appdef_mic 0", 20s)) << bob->Transcript();
  ASSERT_EQ(bob->Call("rawaudio alice appdef_mic", 10s), 0) << bob->Transcript();

  const std::string recorded = g_outDir + "/bob_hears_alice.raw";
  std::thread speaker([&] { InPulseHost("alice", "paplay --device=mic \"" + tone + "\""); });
  std::this_thread::sleep_for(2s);
  InPulseHost("bob",
              "timeout 4 parecord --device=speaker.monitor --raw --format=s16le --rate=48000 "
              "--channels=1 \"" +
                  recorded + "\"");

  // The raw-audio observer got the same tone decoded to 16 kHz.
  bob->Send("rawstats");
  std::string line;
  ASSERT_TRUE(bob->Expect([](const std::string& l) { return StartsWith(l, "rawstats "); }, 10s, &line));
  int frames = 0, rate = 0, strongest = 0;
  long bytes = 0;
  std::sscanf(line.c_str(), "rawstats %d %d %ld %d", &frames, &rate, &bytes, &strongest);
  std::printf("bob's raw-audio observer: %d frames, %ld bytes (%.1f s at 16 kHz), rate field %d, tone %d Hz\n", frames,
              bytes, bytes / 32000.0, rate, strongest);
  EXPECT_GT(frames, 50);
  EXPECT_NEAR(strongest, 1000, 10);

  // Muted at Bob, Alice's tone no longer comes out of his speaker.
  const std::string muted = g_outDir + "/bob_muted_alice.raw";
  ASSERT_EQ(bob->Call("mute alice appdef_mic 1", 10s), 0) << bob->Transcript();
  std::this_thread::sleep_for(1s);
  InPulseHost("bob",
              "timeout 2 parecord --device=speaker.monitor --raw --format=s16le --rate=48000 "
              "--channels=1 \"" +
                  muted + "\"");
  speaker.join();

  std::vector<int16_t> pcm;
  if (FILE* file = std::fopen(recorded.c_str(), "rb")) {
    int16_t block[4096];
    size_t n = 0;
    while ((n = std::fread(block, 2, 4096, file)) > 0) pcm.insert(pcm.end(), block, block + n);
    std::fclose(file);
  }
  const ToneMeasure heard = MeasureTone(pcm);
  // The tone was sent at amplitude 0.15, -19.5 dB full scale RMS: the level the capture's
  // output gain aims at, so that the path itself is measured.
  std::printf(
      "bob hears alice: %.1f Hz at %.1f dBFS RMS (sent 1000 Hz at -19.5 dBFS); audible %.0f %% of "
      "10 ms blocks, longest gap %d ms; %zu samples\n",
      heard.frequency, heard.rmsDb, heard.audible * 100, heard.longestGapMs, pcm.size());
  EXPECT_NEAR(heard.frequency, 1000.0, 10.0);
  EXPECT_NEAR(heard.rmsDb, -19.5, 3.0);

  std::vector<int16_t> quiet;
  if (FILE* file = std::fopen(muted.c_str(), "rb")) {
    int16_t block[4096];
    size_t n = 0;
    while ((n = std::fread(block, 2, 4096, file)) > 0) quiet.insert(quiet.end(), block, block + n);
    std::fclose(file);
  }
  double energy = 0;
  for (int16_t v : quiet) energy += static_cast<double>(v) * v;
  const double mutedDb = quiet.empty() ? -200 : 10 * std::log10(energy / quiet.size() / (32768.0 * 32768.0) + 1e-20);
  std::printf("bob's speaker with alice muted: %.1f dBFS RMS over %zu samples\n", mutedDb, quiet.size());
  EXPECT_GT(quiet.size(), 48000u);
  EXPECT_LT(mutedDb, -50.0);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--host=", 7) == 0) g_hostPath = argv[i] + 7;
    if (std::strncmp(argv[i], "--out=", 6) == 0) g_outDir = argv[i] + 6;
  }
  return RUN_ALL_TESTS();
}
