// Records handed across the public API.
#pragma once

#include "kiv_string.h"
#include "kiv_vector.h"

namespace kiv {

struct DeviceInfo {
  int id = 0;  // the device's id in the core device lists
  String name;
};

struct UserStatus {
  String userId;
  int status = 0;
  String data;
};

struct VideoProfile {
  int width = 0;
  int height = 0;
  int frameRate = 0;
};

struct VideoStats {
  int width = 0;
  int height = 0;
  int frameRate = 0;
  int bitrate = 0;
};

struct RtspPluginParam {
  String url;
  String audioName;
  String videoName;
  bool hasAudio = false;
  bool hasVideo = false;
  bool udp = false;
  bool vbuf = false;
  int timeout = 0;
};

// Video format codes of VideoFrame::format.
enum : int {
  VIDEO_FORMAT_OTHER = 0,
  VIDEO_FORMAT_I420 = 1,
  VIDEO_FORMAT_YV12 = 2,
  VIDEO_FORMAT_NV12 = 3,
  VIDEO_FORMAT_NV21 = 4,
};

// Valid only during the observer call; data points into the framework's buffer.
struct VideoFrame {
  int format = 0;
  int width = 0;
  int height = 0;
  const void* data = nullptr;
  int size = 0;
};

// type: 1 when the source is plain PCM, else 2. Valid only during the observer call.
struct AudioFrame {
  int type = 0;
  int channels = 0;
  int sampleRate = 0;
  const void* data = nullptr;
  int size = 0;
};

// The 32-bit layout is fixed: the application and the library may be built apart.
static_assert(sizeof(void*) != 4 || sizeof(String) == 4, "kiv::String is one pointer");
static_assert(sizeof(void*) != 4 || sizeof(Vector<String>) == 12, "kiv::Vector layout");
static_assert(sizeof(void*) != 4 || sizeof(DeviceInfo) == 8, "kiv::DeviceInfo layout");
static_assert(sizeof(void*) != 4 || sizeof(UserStatus) == 12, "kiv::UserStatus layout");
static_assert(sizeof(VideoProfile) == 12, "kiv::VideoProfile layout");
static_assert(sizeof(VideoStats) == 16, "kiv::VideoStats layout");
static_assert(sizeof(void*) != 4 || sizeof(RtspPluginParam) == 20, "kiv::RtspPluginParam layout");
static_assert(sizeof(void*) != 4 || sizeof(VideoFrame) == 20, "kiv::VideoFrame layout");
static_assert(sizeof(void*) != 4 || sizeof(AudioFrame) == 20, "kiv::AudioFrame layout");

}  // namespace kiv
