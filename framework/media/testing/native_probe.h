// Test helpers under Wine: paths seen from Unix and native command lines (ffprobe).
#pragma once

#include <windows.h>

#include <string>

namespace media_test {

inline std::wstring WorkDir() {
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  return cwd;
}

// Z:\a\b -> /a/b (Wine maps the Unix root to Z:).
inline std::string UnixPath(const std::wstring& w) {
  std::string out;
  for (size_t i = (w.size() > 1 && w[1] == L':') ? 2 : 0; i < w.size(); ++i) {
    out.push_back(w[i] == L'\\' ? '/' : static_cast<char>(w[i]));
  }
  return out;
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Runs a shell line natively and returns what it wrote (waits up to 20 s).
inline std::string RunNative(const std::string& line, const std::wstring& out) {
  DeleteFileW(out.c_str());
  const std::wstring done = out + L".done";
  DeleteFileW(done.c_str());
  const std::string script = line + " > '" + UnixPath(out) + "' 2>&1; touch '" + UnixPath(done) + "'";
  std::wstring cmd = L"/bin/sh -c \"" + std::wstring(script.begin(), script.end()) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return "";
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
  for (int i = 0; i < 400 && !Exists(done); ++i) Sleep(50);
  HANDLE f = CreateFileW(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "";
  char buf[8192];
  DWORD n = 0;
  ReadFile(f, buf, sizeof buf, &n, nullptr);
  CloseHandle(f);
  DeleteFileW(done.c_str());
  DeleteFileW(out.c_str());
  return std::string(buf, n);
}

// "codec_type=...,codec_name=...,width=...,height=..." per stream and the duration.
inline std::string Probe(const std::wstring& path) {
  return RunNative(
      "ffprobe -v error -show_entries stream=codec_type,codec_name,width,height,sample_rate:"
      "format=duration -of default=nw=1 '" +
          UnixPath(path) + "'",
      path + L".probe.txt");
}

inline double ProbedDuration(const std::string& probe) {
  const size_t d = probe.find("duration=");
  return d == std::string::npos ? -1.0 : std::atof(probe.c_str() + d + 9);
}

}  // namespace media_test
