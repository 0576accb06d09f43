// The video profile record the client hands to SetVideoProfile: the SDK's three fields
// (which are all it reads), followed by one word of the client's own, always 1.
#pragma once

#include <cstddef>

#include "kiv_sdk.h"

struct ClientVideoProfile {
  kiv::VideoProfile profile;
  int flag = 1;
};

static_assert(offsetof(ClientVideoProfile, flag) == sizeof(kiv::VideoProfile),
              "the client's word follows the frame rate directly");
