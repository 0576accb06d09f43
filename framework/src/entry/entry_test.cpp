// The library's exports and the PMDll function table.
#include <cstring>

#include "dll_fixture.h"

namespace tessarine_test {
namespace {

using EntryTest = FrameworkTest;

// PMDll fills Init, Uninit, GetObject and the unused entries; a table of any other size
// or a null table is refused and left untouched.
TEST_F(EntryTest, PMDllFillsOnlyATableOfItsOwnSize) {
  EXPECT_EQ(pmdll_(nullptr), E_POINTER);
  avcore::PMDllFunctionTable wrong{};
  wrong.size = 32 + (sizeof(wrong) == 32 ? 4 : 0);
  EXPECT_EQ(pmdll_(&wrong), E_INVALIDARG);
  EXPECT_EQ(wrong.Init, nullptr);

  ASSERT_EQ(pmdll_(&table_), S_OK);
  EXPECT_NE(table_.Init, nullptr);
  EXPECT_NE(table_.Uninit, nullptr);
  EXPECT_NE(table_.GetObject, nullptr);
  for (auto entry : table_.reserved) {
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(), E_NOTIMPL);
  }
  EXPECT_EQ(sizeof(void*) != 4 || offsetof(avcore::PMDllFunctionTable, Init) == 20, true);
}

// Init takes flag 1, zero trailing values and terminated texts only; a second Init
// reports S_FALSE; Uninit without Init reports S_FALSE.
TEST_F(EntryTest, InitAndUninitCheckTheirState) {
  ASSERT_EQ(pmdll_(&table_), S_OK);
  EXPECT_EQ(table_.Uninit(), S_FALSE);
  EXPECT_EQ(table_.Init(0, L"", L"", 0, 0), E_INVALIDARG);
  EXPECT_EQ(table_.Init(1, L"", L"", 1, 0), E_INVALIDARG);
  // Texts that fill their buffers (260 and 2048 units) without a terminator are refused.
  std::wstring long_log(260, L'a');
  EXPECT_EQ(table_.Init(1, L"", long_log.c_str(), 0, 0), E_INVALIDARG);
  std::wstring long_list(2048, L'b');
  EXPECT_EQ(table_.Init(1, long_list.c_str(), L"", 0, 0), E_INVALIDARG);
  ASSERT_EQ(table_.Init(1, nullptr, nullptr, 0, 0), S_OK);
  initialised_ = true;
  EXPECT_EQ(table_.Init(1, L"", L"", 0, 0), S_FALSE);
  EXPECT_EQ(table_.Uninit(), S_OK);
  EXPECT_EQ(table_.Uninit(), S_FALSE);
  initialised_ = false;
}

// GetObject yields the root only after Init and only for the root's class id.
TEST_F(EntryTest, GetObjectNeedsInitAndTheRootClass) {
  ASSERT_EQ(pmdll_(&table_), S_OK);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(table_.GetObject(avcore::CLSID_BaseCore, &object), E_UNEXPECTED);
  EXPECT_EQ(object, nullptr);
  ASSERT_NO_FATAL_FAILURE(Start(L""));
  EXPECT_EQ(table_.GetObject(avcore::CLSID_AvNet, &object), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(table_.GetObject(avcore::CLSID_BaseCore, nullptr), E_POINTER);
  ASSERT_EQ(table_.GetObject(avcore::CLSID_BaseCore, reinterpret_cast<void**>(&root_)), S_OK);
  EXPECT_GE(LiveObjects(), 1);
}

// The standard-library object allocates, copies and measures; null copies do nothing.
TEST_F(EntryTest, StdLibObjectServesMemoryAndStrings) {
  auto get = Export<avcore::FwGetQelStdLibImplProc>(module_, avcore::kStdLibExportName);
  ASSERT_NE(get, nullptr);
  avcore::IStdLibImpl* lib = get();
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(get(), lib);
  char* block = static_cast<char*>(lib->Malloc(16));
  ASSERT_NE(block, nullptr);
  lib->MemCpy(block, "framework", 10);
  EXPECT_STREQ(block, "framework");
  EXPECT_EQ(lib->StrLen(block), 9u);
  EXPECT_EQ(lib->StrLen(nullptr), 0u);
  EXPECT_EQ(lib->MemCpy(nullptr, block, 4), nullptr);
  lib->MemCpy(block, nullptr, 4);
  EXPECT_STREQ(block, "framework");
  lib->MemMove(block + 1, block, 10);
  EXPECT_STREQ(block, "fframework");
  lib->Free(block);
}

// A full start and release, then FreeLibrary: the library is gone and leaves its final
// live-object count, 0, in the environment.
TEST_F(EntryTest, UnloadReportsZeroLiveObjects) {
  ScopedEnv clear(kLiveObjectsAtUnloadVariable, nullptr);
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  avcore::ILogCenter* log = nullptr;
  ASSERT_EQ(root_->QueryInterface(avcore::IID_ILogCenter, reinterpret_cast<void**>(&log)), S_OK);
  log->Release();
  root_->Release();
  root_ = nullptr;
  EXPECT_EQ(table_.Uninit(), S_OK);
  initialised_ = false;
  FreeLibrary(module_);
  module_ = nullptr;
  EXPECT_EQ(GetModuleHandleW(avcore::kFrameworkFileName), nullptr);
  wchar_t value[32] = {};
  ASSERT_GT(GetEnvironmentVariableW(kLiveObjectsAtUnloadVariable, value, 32), 0u);
  EXPECT_STREQ(value, L"0");
}

// A leaked object shows in the count left at unload.
TEST_F(EntryTest, UnloadReportsLeakedObjects) {
  ScopedEnv clear(kLiveObjectsAtUnloadVariable, nullptr);
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  EXPECT_EQ(table_.Uninit(), S_OK);
  initialised_ = false;
  FreeLibrary(module_);  // the root (and its three services) still held
  module_ = nullptr;
  root_ = nullptr;  // its code is gone: never call it again
  wchar_t value[32] = {};
  ASSERT_GT(GetEnvironmentVariableW(kLiveObjectsAtUnloadVariable, value, 32), 0u);
  EXPECT_STREQ(value, L"4");
}

}  // namespace
}  // namespace tessarine_test
