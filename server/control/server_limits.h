// The bounds of what one member (or its group) may make the server keep. A request beyond
// one is refused; the member is logged once per bound and login (IServerContext::LogLimit).
#pragma once

#include <cstddef>

namespace kiv_server {

// The code of an `error` answer (or a business's own refusal) for a request beyond a bound:
// the member or its group holds as many entries as the server keeps.
constexpr int kResultLimitReached = 45;

// GS: a member's media entries (its boards aside) and a group's entries (boards included).
// With ids of at most 128 printable characters a group's media list stays far below a frame.
constexpr size_t kMaxMediaPerMember = 32;
constexpr size_t kMaxMediaPerGroup = 1024;

// MEDIA: a login's publications (17003 answers kResultLimitReached beyond) and
// subscriptions (an `error` answer beyond).
constexpr size_t kMaxPublicationsPerLogin = 16;
constexpr size_t kMaxSubscriptionsPerLogin = 512;

}  // namespace kiv_server
