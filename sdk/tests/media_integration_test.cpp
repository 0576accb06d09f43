// Media between meeting participants through the public API: Windows test hosts, each with
// its own engine under wine64, against the meeting server and its media relay on loopback.
// Run from the x64 tree with --host=<kiv_cp_test_host.exe> --out=<folder for kept files>.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "server/tests/server_process.h"
#include "tests/wine_host.h"

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
    std::printf("bob's statistics of alice's video: %dx%d, %d fps, %d bit/s\n", stats.width, stats.height,
                stats.fps, stats.bps);

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
    const std::string probe = RunShell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height "
                                  "-show_entries format=duration -of default=nw=1 '" + path + "' 2>&1");
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

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--host=", 7) == 0) g_hostPath = argv[i] + 7;
        if (std::strncmp(argv[i], "--out=", 6) == 0) g_outDir = argv[i] + 6;
    }
    return RUN_ALL_TESTS();
}
