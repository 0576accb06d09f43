#include "framework_loader.h"

#include <string>

#include "tessarine_test_hooks.h"

// FwString and FwVector blocks of this program come from the loaded library's allocator,
// as in the SDK.
namespace avcore {
void* FwBlockAlloc(size_t size) {
  auto get = tessarine_test::Export<FwGetQelStdLibImplProc>(GetModuleHandleW(kFrameworkFileName), kStdLibExportName);
  return get != nullptr ? get()->Malloc(size) : nullptr;
}
void FwBlockFree(void* block) {
  auto get = tessarine_test::Export<FwGetQelStdLibImplProc>(GetModuleHandleW(kFrameworkFileName), kStdLibExportName);
  if (get != nullptr) get()->Free(block);
}
}  // namespace avcore

namespace connection_test {

FrameworkLoader::FrameworkLoader() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe);
  dir.resize(dir.find_last_of(L"\\/") + 1);
  module_ = LoadLibraryW((dir + avcore::kFrameworkFileName).c_str());
  auto pmdll = tessarine_test::Export<avcore::PMDllProc>(module_, avcore::kEntryPointName);
  if (pmdll == nullptr) return;
  table_.size = sizeof(table_);
  static wchar_t directories[2048];
  static wchar_t log_directory[260];
  if (pmdll(&table_) != S_OK || table_.Init == nullptr || table_.Init(1, directories, log_directory, 0, 0) != S_OK) {
    return;
  }
  if (table_.GetObject(avcore::CLSID_BaseCore, reinterpret_cast<void**>(&root_)) != S_OK) root_ = nullptr;
}

FrameworkLoader::~FrameworkLoader() {
  if (root_ != nullptr) root_->Release();
  if (table_.Uninit != nullptr) table_.Uninit();
  if (module_ != nullptr) FreeLibrary(module_);
}

avcore::IKivConnection* FrameworkLoader::CreateConnection() {
  void* object = nullptr;
  if (root_ == nullptr ||
      root_->CreateComponent(avcore::CLSID_KivConnection, avcore::IID_IKivConnection, nullptr, &object) != S_OK) {
    return nullptr;
  }
  return static_cast<avcore::IKivConnection*>(object);
}

void* FrameworkLoader::Create(const GUID& clsid, const GUID& iid) {
  void* object = nullptr;
  if (root_ == nullptr || root_->CreateComponent(clsid, iid, nullptr, &object) != S_OK) return nullptr;
  return object;
}

long FrameworkLoader::LiveObjects() const {
  auto live = tessarine_test::Export<tessarine_test::LiveObjectsProc>(module_, tessarine_test::kLiveObjects);
  return live != nullptr ? live() : -1;
}

}  // namespace connection_test
