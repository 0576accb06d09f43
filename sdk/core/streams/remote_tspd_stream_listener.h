// Receiver of the blocks of a remote transparent-data stream.
#pragma once

#include <cstdint>
#include <string>

namespace kiv_core {

class IRemoteTspdStreamListener {
 public:
  // On the framework's thread; the data is valid only during the call.
  virtual int OnRemoteTspdData(const std::string& mediaId, const uint8_t* data, uint32_t length) = 0;

 protected:
  ~IRemoteTspdStreamListener() = default;
};

}  // namespace kiv_core
