// What the stand-in kiv_sdk of the client tests was asked, and how it answers.
#pragma once

#include <string>
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
};

#ifdef FAKE_KIV_SDK_BUILD
#define FAKE_SDK_API __declspec(dllexport)
#else
#define FAKE_SDK_API __declspec(dllimport)
#endif

extern "C" FAKE_SDK_API FakeSdkState* FakeSdk();
// Back to the default answers with no calls recorded.
extern "C" FAKE_SDK_API void FakeSdkReset();
