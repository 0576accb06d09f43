#include "quietwell_library.h"

#include "function_table.h"
#include "text_convert.h"

namespace tessarine {
namespace {

template <typename Fn>
bool Bind(HMODULE module, const char* name, Fn* slot, std::string* missing) {
  *slot = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  if (*slot == nullptr) {
    if (!missing->empty()) *missing += ", ";
    *missing += name;
  }
  return *slot != nullptr;
}

// All 24 exports; the names of those missing go to `missing`.
bool BindAll(HMODULE m, QuietwellExports* a, std::string* missing) {
#define QW_BIND(name) Bind(m, #name, &a->name, missing)
  bool ok = true;
  ok &= QW_BIND(OpenRealAudioEngine);
  ok &= QW_BIND(CloseRealAudioEngine);
  ok &= QW_BIND(ResetRealAudioEngine);
  ok &= QW_BIND(PauseRealAudioEngine);
  ok &= QW_BIND(SetRealAudioConfig);
  ok &= QW_BIND(RealAudioSetDumpFile);
  ok &= QW_BIND(RealAudioSetAppPath);
  ok &= QW_BIND(RealAudioSetStatusChangeCallback);
  ok &= QW_BIND(RealAudioSetCaptureDevID);
  ok &= QW_BIND(RealAudioSetPlayoutDevID);
  ok &= QW_BIND(RealAudioGetCaptureDevsCount);
  ok &= QW_BIND(RealAudioGetPlayoutDevsCount);
  ok &= QW_BIND(RealAudioGetCaptureDevsName);
  ok &= QW_BIND(RealAudioGetPlayoutDevsName);
  ok &= QW_BIND(RealAudioGetCaptureVolume);
  ok &= QW_BIND(RealAudioSetCaptureVolume);
  ok &= QW_BIND(RealAudioGetPlayoutVolume);
  ok &= QW_BIND(RealAudioSetPlayoutVolume);
  ok &= QW_BIND(RealAudioGetMicEnhance);
  ok &= QW_BIND(RealAudioSetMicEnhance);
  ok &= QW_BIND(RealAudioSetLogCallback);
  ok &= QW_BIND(RealAudioSetHeadsetEnhance);
  ok &= QW_BIND(RealAudioSetMusicMode);
  ok &= QW_BIND(RealAudioSetMicVolumeControl);
#undef QW_BIND
  return ok;
}

std::wstring OwnDirectory() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&OwnDirectory), &self)) {
    return std::wstring();
  }
  wchar_t path[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameW(self, path, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return std::wstring();
  std::wstring dir(path, n);
  const size_t slash = dir.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
}

}  // namespace

std::vector<std::wstring> QuietwellSearchDirectories() {
  std::vector<std::wstring> dirs = FrameworkDirectories();
  if (dirs.empty()) {
    const std::wstring own = OwnDirectory();
    if (!own.empty()) dirs.push_back(own);
  }
  return dirs;
}

std::unique_ptr<QuietwellLibrary> QuietwellLibrary::Load(const std::vector<std::wstring>& directories,
                                                         std::string* report) {
  report->clear();
  for (const std::wstring& dir : directories) {
    const std::wstring path = dir + kQuietwellFileName;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    // Its own directory first for its dependencies.
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
      *report += "cannot load " + WideToUtf8(path) + " (error " + std::to_string(GetLastError()) + "); ";
      continue;
    }
    QuietwellExports api{};
    std::string missing;
    if (!BindAll(module, &api, &missing)) {
      *report += WideToUtf8(path) + " lacks " + missing + "; ";
      FreeLibrary(module);
      continue;
    }
    return std::unique_ptr<QuietwellLibrary>(new QuietwellLibrary(module, path, api));
  }
  if (report->empty()) *report = "not found";
  return nullptr;
}

QuietwellLibrary::~QuietwellLibrary() { FreeLibrary(module_); }

}  // namespace tessarine
