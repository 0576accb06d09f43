// What the stand-in kiv_sdk of the client tests was asked, and how it answers.
#pragma once

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "kiv_sdk.h"

struct FakeSdkState {
  // Answers.
  bool no_engine = false;
  int init_result = 0;
  int login_result = 0;
  int join_result = 0;
  int microphones = 1;
  int speakers = 1;
  int cameras = 0;
  int publish_audio_result = 0;
  int preview_result = 0;
  int remote_render_result = 0;
  int screen_share_result = 0;
  int record_result = 0;
  int send_msg_result = 0;
  int remote_control_result = 0;
  int stats_result = 1;
  kiv::VideoStats stats;

  // Calls.
  int engines_created = 0;
  int engines_released = 0;
  int init_calls = 0;
  std::string init_app_id;
  std::string init_server;
  std::string init_work_dir;
  kiv::IKivEngineEventHandler* handler = nullptr;
  int login_calls = 0;
  std::string login_token;
  std::string login_user;
  bool login_force = false;
  std::vector<std::string> joined_groups;
  std::vector<std::pair<int, int>> audio_params;
  kiv::IKivSignalingEventHandler* signaling_handler = nullptr;
  int status_refreshes = 0;
  std::vector<std::string> published_videos;
  std::vector<std::string> stopped_videos;
  std::vector<std::string> audio_publish_calls;  // "start:<id>" / "stop:<id>"
  std::vector<std::vector<int>> screen_shares;   // left, top, right, bottom, bias
  int screen_share_stops = 0;
  std::vector<std::string> record_paths;
  int record_stops = 0;
  std::vector<std::pair<std::string, int>> remote_control_ops;
  std::vector<std::pair<int, int>> previews;  // camera, render mode
  std::vector<int> preview_removals;
  // user id, video id, render window given (0 or 1), mode
  std::vector<std::tuple<std::string, std::string, bool, int>> remote_renders;
  std::vector<std::pair<std::string, kiv::VideoProfile>> profiles;
  std::vector<int> profile_fourth_words;  // the word after the frame rate in the caller's record
  std::vector<std::string> group_msgs;
  std::vector<std::pair<std::string, std::string>> user_msgs;
  std::vector<std::string> invites;  // "<group>:<user>,<user>"
  int leave_calls = 0;
  int logout_calls = 0;
};

#ifdef FAKE_KIV_SDK_BUILD
#define FAKE_SDK_API __declspec(dllexport)
#else
#define FAKE_SDK_API __declspec(dllimport)
#endif

extern "C" FAKE_SDK_API FakeSdkState* FakeSdk();
// Back to the default answers with no calls recorded.
extern "C" FAKE_SDK_API void FakeSdkReset();
