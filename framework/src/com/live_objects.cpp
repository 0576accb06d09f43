#include "live_objects.h"

#include <atomic>

namespace tessarine {
namespace {
std::atomic<long> g_live{0};
}  // namespace

LiveObject::LiveObject() noexcept { ++g_live; }
LiveObject::LiveObject(const LiveObject&) noexcept { ++g_live; }
LiveObject::~LiveObject() { --g_live; }

long LiveObjectCount() noexcept { return g_live.load(); }

}  // namespace tessarine
