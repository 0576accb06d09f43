// The settings of one RTSP plug-in, read from the small XML file its list entry names
// (root/url, root/timeout). Only the url is handed on; the rest is kept as read.
#pragma once

#include <string>

namespace kiv_core {

class CConfig {
 public:
  CConfig();
  virtual ~CConfig();

  // 1 when the file loaded with a usable url, else 0 (a null path too).
  int Load(const wchar_t* path);
  std::string GetUrl() const { return m_url; }

  // The path as UTF-8; empty when it did not fit its 260 bytes.
  const char* GetFilePath() const { return m_filePath; }
  int GetTimeout() const { return m_timeout; }
  int GetReserved() const { return m_reserved; }
  const char* GetBrand() const { return m_brand; }

 private:
  char m_filePath[260];
  std::string m_url;
  int m_reserved = 1088;
  int m_timeout;
  char m_brand[8];
};

}  // namespace kiv_core
