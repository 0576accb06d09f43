// Recording: the whole-screen recorder and the camera recording sink.
#pragma once

#include "avcore/platform.h"

namespace avcore {

// Screen recording parameters, 68 bytes.
struct ScreenRecordParam {
  int32_t size;             // 0: 68
  int32_t version;          // 4: 1
  int32_t reserved8[3];     // 8
  int32_t x;                // 20
  int32_t y;                // 24
  int32_t width;            // 28
  int32_t height;           // 32
  int32_t frame_rate;       // 36
  int32_t video_bitrate;    // 40: bits per second
  int32_t audio;            // 44: 1 = record audio (fed through WriteAudio)
  int32_t sample_rate;      // 48
  int32_t channels;         // 52
  int32_t bits_per_sample;  // 56
  int32_t audio_bitrate;    // 60
  int32_t container;        // 64: 1 = MP4
};
static_assert(sizeof(ScreenRecordParam) == 68, "ScreenRecordParam is 68 bytes");

struct IScreenRecorder : public IUnknown {
  virtual HRESULT AVCORE_CALL StartRecord(const ScreenRecordParam* param, const wchar_t* path) = 0;
  // PCM in the format of the parameters.
  virtual HRESULT AVCORE_CALL WriteAudio(const void* data, int32_t length) = 0;
  virtual HRESULT AVCORE_CALL StopRecord() = 0;
};

// Camera recording start record, passed by value (76 bytes on the 32-bit build).
struct VideoRecordParam {
  const wchar_t* path;     // 0
  int32_t container;       // 4: 1 = MP4
  int32_t flags;           // 8: 0
  uint16_t width;          // 12
  uint16_t height;         // 14
  uint16_t frame_rate;     // 16
  uint16_t profile;        // 18: 8
  uint32_t fourcc;         // 20: input frames, I420
  uint16_t reserved24[2];  // 24
  uint16_t gop;            // 28: key frame interval in frames
  uint16_t quality;        // 30: 80
  uint16_t min_quality;    // 32: 75
  uint16_t reserved34;     // 34
  uint32_t bitrate;        // 36: bits per second
  uint8_t reserved40[36];  // 40
};
AVCORE_ASSERT_SIZE32(VideoRecordParam, 76);

struct IVideoRecordSink : public IUnknown {
  // Any non-zero result is a failure.
  virtual HRESULT AVCORE_CALL Start(VideoRecordParam param) = 0;
  // One I420 frame of the record size at `timestampMs` after the start.
  virtual HRESULT AVCORE_CALL WriteFrame(uint64_t timestampMs, const void* data, int32_t length) = 0;
  virtual HRESULT AVCORE_CALL Stop() = 0;
};

}  // namespace avcore
