// The video render manager: renders by id, frames pushed into a window in each render
// mode (read back from the window), raw-data callbacks, statistics and bad input.
#include <cstring>
#include <vector>

#include "dll_fixture.h"
#include "test_window.h"

namespace tessarine_test {
namespace {

// A 64 x 32 I420 frame: columns 0-15 green, 16-47 red, 48-63 blue.
std::vector<uint8_t> StripedFrame() {
  const int w = 64, h = 32;
  std::vector<uint8_t> frame(w * h * 3 / 2);
  uint8_t* y = frame.data();
  uint8_t* u = y + w * h;
  uint8_t* v = u + w * h / 4;
  auto yuv = [](int r, int g, int b, uint8_t out[3]) {
    out[0] = static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
    out[1] = static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
    out[2] = static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
  };
  for (int row = 0; row < h; ++row) {
    for (int x = 0; x < w; ++x) {
      uint8_t c[3];
      if (x < 16)
        yuv(0, 200, 0, c);
      else if (x < 48)
        yuv(200, 0, 0, c);
      else
        yuv(0, 0, 200, c);
      y[row * w + x] = c[0];
      if (row % 2 == 0 && x % 2 == 0) {
        u[(row / 2) * (w / 2) + x / 2] = c[1];
        v[(row / 2) * (w / 2) + x / 2] = c[2];
      }
    }
  }
  return frame;
}

avcore::VideoFrame Frame(const std::vector<uint8_t>& data) {
  avcore::VideoFrame f{};
  f.width = 64;
  f.height = 32;
  f.fourcc = avcore::kFourccI420;
  f.stride = 64;
  f.data = data.data();
  f.length = static_cast<int32_t>(data.size());
  return f;
}

enum Colour { kBlack, kGreen, kRed, kBlue, kOther };
Colour Classify(uint32_t p) {
  const int r = Red(p), g = Green(p), b = Blue(p);
  if (r < 30 && g < 30 && b < 30) return kBlack;
  if (g > 150 && r < 60 && b < 60) return kGreen;
  if (r > 150 && g < 60 && b < 60) return kRed;
  if (b > 150 && r < 60 && g < 60) return kBlue;
  return kOther;
}

struct RenderEvents {
  std::vector<uintptr_t> codes;
  static int AVCORE_CALLBACK Proc(uintptr_t, uintptr_t code, uintptr_t, uintptr_t, void* ctx) {
    static_cast<RenderEvents*>(ctx)->codes.push_back(code);
    return 1;
  }
};

struct RawFrames {
  int frames = 0;
  int32_t width = 0;
  static int32_t AVCORE_CALLBACK OnFrame(void* ctx, const avcore::VideoFrame* frame) {
    auto* r = static_cast<RawFrames*>(ctx);
    ++r->frames;
    r->width = frame->width;
    return 0;
  }
  static int32_t AVCORE_CALLBACK OnValue(void*, int32_t) { return 1; }
};

class VideoRenderTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
    Create(avcore::CLSID_VideoRenderManager, avcore::IID_IVideoRenderManager, &manager_);
  }
  void TearDown() override {
    manager_.reset();
    FrameworkTest::TearDown();
  }
  Held<avcore::IVideoRenderManager> manager_;
};

// Each mode places the frame as it says: 1 stretches it over the window, 2 fills the
// window with the frame's middle, 3 shows it whole between black bars.
TEST_F(VideoRenderTest, ModesPlaceTheFrameInTheWindow) {
  TestWindow window(400, 20, 100, 100);
  RenderEvents events;
  const avcore::EventRecord record{avcore::kEventRecordVersion, &RenderEvents::Proc, 0, &events};
  avcore::RenderId id = 0;
  ASSERT_EQ(manager_->AddRender(window.hwnd(), &record, &id), S_OK);
  const std::vector<uint8_t> data = StripedFrame();
  const avcore::VideoFrame frame = Frame(data);

  ASSERT_EQ(manager_->SetRenderMode(id, 1), S_OK);
  ASSERT_EQ(manager_->PushFrame(id, &frame), S_OK);
  auto px = window.ReadPixels();
  EXPECT_EQ(Classify(px[50 * 100 + 10]), kGreen);
  EXPECT_EQ(Classify(px[50 * 100 + 50]), kRed);
  EXPECT_EQ(Classify(px[50 * 100 + 90]), kBlue);
  EXPECT_EQ(Classify(px[2 * 100 + 50]), kRed);

  ASSERT_EQ(manager_->SetRenderMode(id, 2), S_OK);  // redraws the last frame
  px = window.ReadPixels();
  EXPECT_EQ(Classify(px[50 * 100 + 3]), kRed);
  EXPECT_EQ(Classify(px[50 * 100 + 96]), kRed);
  EXPECT_EQ(Classify(px[2 * 100 + 50]), kRed);

  ASSERT_EQ(manager_->SetRenderMode(id, 3), S_OK);
  ASSERT_EQ(manager_->PushFrame(id, &frame), S_OK);
  px = window.ReadPixels();
  EXPECT_EQ(Classify(px[5 * 100 + 50]), kBlack);   // bar above
  EXPECT_EQ(Classify(px[95 * 100 + 50]), kBlack);  // bar below
  EXPECT_EQ(Classify(px[50 * 100 + 10]), kGreen);
  EXPECT_EQ(Classify(px[50 * 100 + 50]), kRed);
  EXPECT_EQ(Classify(px[50 * 100 + 90]), kBlue);

  EXPECT_EQ(events.codes, std::vector<uintptr_t>{avcore::kRenderEventFirstFrame});
  EXPECT_EQ(manager_->SetRenderMode(id, 0), E_INVALIDARG);
  EXPECT_EQ(manager_->SetRenderMode(id, 4), E_INVALIDARG);
  EXPECT_EQ(manager_->RemoveRender(id), S_OK);
}

// Frames reach the raw-data callback also without a window; a render moved to another
// window draws there; statistics give the size and the rate; cleared callbacks and
// removed renders are not called.
TEST_F(VideoRenderTest, CallbacksWindowsAndStatistics) {
  RenderEvents events;
  const avcore::EventRecord record{avcore::kEventRecordVersion, &RenderEvents::Proc, 0, &events};
  avcore::RenderId id = 0;
  ASSERT_EQ(manager_->AddRender(nullptr, &record, &id), S_OK);
  RawFrames raw;
  ASSERT_EQ(manager_->SetRawDataCallback(id, &raw, &RawFrames::OnFrame, &RawFrames::OnValue), S_OK);
  const std::vector<uint8_t> data = StripedFrame();
  const avcore::VideoFrame frame = Frame(data);
  ASSERT_EQ(manager_->PushFrame(id, &frame), S_OK);
  ASSERT_EQ(manager_->PushFrame(id, &frame), S_OK);
  EXPECT_EQ(raw.frames, 2);
  EXPECT_EQ(raw.width, 64);
  EXPECT_EQ(manager_->NotifyRender(id, 7), S_OK);
  avcore::RenderStats stats{};  // read at once: both frames are within the last second
  ASSERT_EQ(manager_->GetRenderStats(id, &stats), S_OK);
  EXPECT_EQ(stats.frame_rate, 2);
  EXPECT_EQ(stats.bitrate, 2 * static_cast<int32_t>(data.size()) * 8);
  EXPECT_EQ(stats.width, 64);
  EXPECT_EQ(stats.height, 32);

  TestWindow window(520, 20, 64, 32);
  ASSERT_EQ(manager_->SetRenderWindow(id, window.hwnd()), S_OK);
  EXPECT_EQ(Classify(window.ReadPixels()[16 * 64 + 30]), kRed);
  ASSERT_EQ(manager_->SetRenderWindow(id, nullptr), S_OK);
  EXPECT_EQ(manager_->SetRenderWindow(id, reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5678))), E_HANDLE);

  ASSERT_EQ(manager_->SetRawDataCallback(id, nullptr, nullptr, nullptr), S_OK);
  ASSERT_EQ(manager_->PushFrame(id, &frame), S_OK);
  EXPECT_EQ(raw.frames, 2);
  EXPECT_EQ(events.codes.size(), 1u);
  ASSERT_EQ(manager_->RemoveRender(id), S_OK);
  EXPECT_EQ(manager_->PushFrame(id, &frame), E_INVALIDARG);
  EXPECT_EQ(manager_->GetRenderStats(id, &stats), E_INVALIDARG);
  EXPECT_EQ(stats.width, 0);
  EXPECT_EQ(manager_->RemoveRender(id), E_INVALIDARG);
}

// Bad input: records, windows and frames that cannot be used are refused and leave the
// render id 0 or the render as it was.
TEST_F(VideoRenderTest, RefusesBadInput) {
  RenderEvents events;
  avcore::EventRecord record{4, &RenderEvents::Proc, 0, &events};
  avcore::RenderId id = 99;
  EXPECT_EQ(manager_->AddRender(nullptr, &record, &id), E_INVALIDARG);
  EXPECT_EQ(id, 0u);
  record.version = avcore::kEventRecordVersion;
  EXPECT_EQ(manager_->AddRender(nullptr, nullptr, &id), E_POINTER);
  EXPECT_EQ(manager_->AddRender(nullptr, &record, nullptr), E_POINTER);
  EXPECT_EQ(manager_->AddRender(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)), &record, &id), E_HANDLE);
  EXPECT_EQ(id, 0u);
  ASSERT_EQ(manager_->AddRender(nullptr, &record, &id), S_OK);

  const std::vector<uint8_t> data = StripedFrame();
  avcore::VideoFrame frame = Frame(data);
  EXPECT_EQ(manager_->PushFrame(id, nullptr), E_POINTER);
  frame.length -= 1;
  EXPECT_EQ(manager_->PushFrame(id, &frame), E_INVALIDARG);
  frame = Frame(data);
  frame.fourcc = 0x32595559;  // YUY2
  EXPECT_EQ(manager_->PushFrame(id, &frame), E_INVALIDARG);
  frame = Frame(data);
  frame.width = -64;
  EXPECT_EQ(manager_->PushFrame(id, &frame), E_INVALIDARG);
  frame = Frame(data);
  frame.data = nullptr;
  EXPECT_EQ(manager_->PushFrame(id, &frame), E_INVALIDARG);
  frame = Frame(data);
  frame.stride = 80;  // rows longer than the data holds
  EXPECT_EQ(manager_->PushFrame(id, &frame), E_INVALIDARG);
  EXPECT_TRUE(events.codes.empty());
  EXPECT_EQ(manager_->SetRenderMode(id + 1000, 1), E_INVALIDARG);
  EXPECT_EQ(manager_->NotifyRender(id + 1000, 1), E_INVALIDARG);
  EXPECT_EQ(manager_->RemoveRender(id), S_OK);
}

}  // namespace
}  // namespace tessarine_test
