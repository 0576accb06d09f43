// The few platform services of the echo canceller: its settings key, the debug folder and
// debugger output. Windows uses the registry and OutputDebugString; other platforms get a
// process-local settings store and no debugger output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Opens HKCU "SOFTWARE\Orvex\SERRIN\Settings" for query into the library-wide handle,
// closing one that is open. Returns whether the key is open.
bool aec_settings_open();
void aec_settings_close();
bool aec_settings_is_open();
// Reads a 4-byte value of the open key; false when the key or the value is missing.
bool aec_settings_read_dword(const char* name, uint32_t* value);

#ifndef _WIN32
// The settings store of platforms without a registry; the key always opens.
void aec_settings_fallback_set_dword(const char* name, uint32_t value);
void aec_settings_fallback_clear();
#endif

// Folder of the debug marker files and dumps: "c:\<HOMEPATH>\Documents\Larkmoot" on
// Windows, "$HOME/Documents/Larkmoot" elsewhere; empty when the variable is not set.
std::string aec_debug_folder();
// folder + separator + name.
std::string aec_path_join(const std::string& folder, const char* name);
bool aec_file_exists(const std::string& path);

// Files named by wide paths (the saved state's folder comes as a wide string). On other
// platforms the path is taken as UTF-8 with '\\' read as '/'.
FILE* aec_open_wide(const std::wstring& path, const char* mode);
// Replaces `to` by `from` in one step; false when that failed (`to` is then unchanged).
bool aec_replace_file(const std::wstring& from, const std::wstring& to);
bool aec_remove_file(const std::wstring& path);
// True only when nothing exists at `path` (a file that exists but cannot be opened is not
// missing).
bool aec_path_missing(const std::wstring& path);
// Writes the file's buffers through to the disk; false when that failed.
bool aec_flush_file(FILE* file);
uint32_t aec_process_id();

// An exclusive lock on a file beside the state file, held by one save at a time across
// threads and processes; released when the owner goes.
class AecFileLock {
 public:
  // Takes the lock without waiting; Held() tells whether it was taken.
  explicit AecFileLock(const std::wstring& path);
  ~AecFileLock();
  AecFileLock(const AecFileLock&) = delete;
  AecFileLock& operator=(const AecFileLock&) = delete;
  bool Held() const { return held_; }

 private:
  struct File;  // the open lock file, owned; defined per platform
  std::unique_ptr<File> file_;
  bool held_ = false;
};
// The path in the ANSI code page (UTF-8 elsewhere), for log lines.
std::string aec_path_to_ansi(const std::wstring& path);

// Sends a formatted line to the debugger (nothing where there is none).
void aec_debugger_output(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
