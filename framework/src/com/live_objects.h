// Count of the library's live objects (components, services, log records), read by
// tests through the export FwTestLiveObjects. Every object handed to a caller derives
// from LiveObject.
#pragma once

namespace tessarine {

class LiveObject {
 public:
  LiveObject() noexcept;
  LiveObject(const LiveObject&) noexcept;
  LiveObject& operator=(const LiveObject&) noexcept { return *this; }
  ~LiveObject();
};

[[nodiscard]] long LiveObjectCount() noexcept;

}  // namespace tessarine
