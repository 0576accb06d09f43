// Keeps libcurl globally initialised while any holder of the returned token lives: the
// download manager and every downloader hold one, so that no transfer runs after the global
// clean-up.
#pragma once

#include <memory>

namespace kiv_wb {

class CurlGlobal {
 public:
  CurlGlobal();
  ~CurlGlobal();
  CurlGlobal(const CurlGlobal&) = delete;
  CurlGlobal& operator=(const CurlGlobal&) = delete;
  bool Ok() const { return m_ok; }

 private:
  bool m_ok = false;
};

// The shared token; a new initialisation once every earlier token is gone.
std::shared_ptr<CurlGlobal> AcquireCurlGlobal();

}  // namespace kiv_wb
