// The framework's video capture device (cameras and video plug-ins).
#pragma once

#include "avcore/platform.h"

namespace avcore {

// FourCC codes of frames.
inline constexpr uint32_t kFourccI420 = 0x30323449;
inline constexpr uint32_t kFourccYV12 = 0x32315659;
inline constexpr uint32_t kFourccNV12 = 0x3231564E;
inline constexpr uint32_t kFourccNV21 = 0x3132564E;

// A frame handed to raw-data callbacks and to IVideoRenderManager::PushFrame; valid during
// the call. 32 bytes on the 32-bit build.
struct VideoFrame {
  int32_t width;        // word 0
  int32_t height;       // word 1
  uint32_t fourcc;      // word 2
  int32_t stride;       // word 3: bytes per row of the first plane
  int32_t rotation;     // word 4: degrees, 0/90/180/270
  int32_t timestamp;    // word 5: milliseconds
  const uint8_t* data;  // word 6
  int32_t length;       // word 7: bytes
};
AVCORE_ASSERT_SIZE32(VideoFrame, 32);

// One camera of the enumeration, 1544 bytes.
struct VideoDeviceEntry {
  int32_t id;         // 0: the index used everywhere else
  wchar_t path[258];  // 4: device path, NUL-terminated UTF-16
  wchar_t name[512];  // 520: friendly name, NUL-terminated UTF-16
};
// Checked where wide characters are UTF-16 units (Windows), the framework's layout.
static_assert(sizeof(wchar_t) != 2 || sizeof(VideoDeviceEntry) == 1544, "VideoDeviceEntry is 1544 bytes");
static_assert(sizeof(wchar_t) != 2 || offsetof(VideoDeviceEntry, name) == 520, "VideoDeviceEntry name at 520");

// Per-layer rate entry of the capture parameters (16 bytes).
struct VideoLayerRate {
  int32_t bitrate;  // bits per second
  int32_t min_bitrate;
  int32_t max_bitrate;
  int32_t reserved;
};

// Capture parameters, 212 bytes. A fresh record is zero except mode 1, layer_count 1 and
// encoder_enabled 1 (VideoCaptureParam::Defaults()).
struct VideoCaptureParam {
  int32_t mode;                 // 0: 1 = keep the running capture's settings, 0 = apply
  int32_t camera_index;         // 4
  int32_t width;                // 8
  int32_t height;               // 12
  int32_t frame_rate;           // 16
  int32_t reserved20[2];        // 20
  int32_t temporal_svc;         // 28: 1 = temporal layers
  int32_t reserved32[5];        // 32
  int32_t rate_control;         // 52: 1 = bitrates from `layers`
  int32_t reserved56[4];        // 56
  int32_t layer_count;          // 72
  int32_t reserved76[8];        // 76
  int32_t encoder_enabled;      // 108
  int32_t reserved112[3];       // 112
  int32_t layer_frame_rate[4];  // 124
  VideoLayerRate layers[4];     // 140
  int32_t reserved204[2];       // 204

  static VideoCaptureParam Defaults() {
    VideoCaptureParam p{};
    p.mode = 1;
    p.layer_count = 1;
    p.encoder_enabled = 1;
    return p;
  }
};
static_assert(sizeof(VideoCaptureParam) == 212, "VideoCaptureParam is 212 bytes");
static_assert(offsetof(VideoCaptureParam, layer_frame_rate) == 124, "frame-rate table at 124");
static_assert(offsetof(VideoCaptureParam, layers) == 140, "layer table at 140");

// Raw frames of the capture: returns what the receiver took (ignored by the device).
typedef int32_t(AVCORE_CALLBACK* VideoFrameCallback)(void* context, const VideoFrame* frame);

// QueryInterface(IID_IVideoRenderManager) gives the device's preview render manager.
struct IVideoDevice : public IUnknown {
  // Fills at most `capacity` entries; returns how many were filled (negative: failure).
  virtual int32_t AVCORE_CALL EnumDevices(VideoDeviceEntry* entries, int32_t capacity) = 0;
  // Re-reads the list of cameras and plug-ins.
  virtual HRESULT AVCORE_CALL ReEnumerate() = 0;
  // Name of the camera with that index; negative when there is none.
  virtual HRESULT AVCORE_CALL GetDeviceName(int32_t index, wchar_t* name, int32_t capacity) = 0;
  virtual HRESULT AVCORE_CALL GetParam(VideoCaptureParam* param) = 0;
  virtual HRESULT AVCORE_CALL SetParam(const VideoCaptureParam* param) = 0;
  // Starts (or, already started, reconfigures) capture of param->camera_index.
  virtual HRESULT AVCORE_CALL StartCapture(const VideoCaptureParam* param) = 0;
  virtual HRESULT AVCORE_CALL StopCapture() = 0;
  // One raw-frame callback at a time; a null callback removes it. Any non-zero result
  // is a failure. After it returns the previous callback is not called again.
  virtual HRESULT AVCORE_CALL SetRawDataCallback(void* context, VideoFrameCallback callback) = 0;
};

}  // namespace avcore
