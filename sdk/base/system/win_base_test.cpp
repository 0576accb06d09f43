#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "base/system/module_dir.h"
#include "base/system/tick_count.h"
#include "base/system/w_dynamic_library.h"
#include "base/text/xml_reader.h"

using namespace ZORVANTE;

// The module directory is the host program's folder, ending in a backslash.
TEST(WinBaseTest, ModuleDir) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  std::wstring expected(path);
  expected.erase(expected.find_last_of(L'\\') + 1);
  const wchar_t* dir = GetModuleDir(nullptr);
  EXPECT_EQ(std::wstring(dir), expected);
  EXPECT_EQ(dir[std::wcslen(dir) - 1], L'\\');
}

// A library loads, gives its procedures and is freed; a null path fails without a call.
TEST(WinBaseTest, DynamicLibrary) {
  WDynamicLibrary lib;
  EXPECT_FALSE(lib.Load(nullptr));
  EXPECT_EQ(lib.GetProc("GetTickCount"), nullptr);
  ASSERT_TRUE(lib.Load(L"kernel32.dll"));
  EXPECT_NE(lib.GetProc("GetTickCount"), nullptr);
  EXPECT_EQ(lib.GetProc("NoSuchFunction"), nullptr);
  lib.Free();
  EXPECT_EQ(lib.Handle(), nullptr);
  WDynamicLibrary missing;
  EXPECT_FALSE(missing.Load(L"no_such_library_here.dll"));
}

// The clock moves forward in microseconds and the conversion does not overflow for
// counters far beyond ten days at 10 MHz.
TEST(WinBaseTest, TickCount) {
  const int64_t a = GetTickCountUS();
  Sleep(20);
  const int64_t b = GetTickCountUS();
  EXPECT_GE(b - a, 15000);
  EXPECT_LT(b - a, 5000000);
  EXPECT_EQ(CounterToMicroseconds(25, 10), 2500000);
  const int64_t thirtyDays = 30LL * 24 * 3600 * 10000000;  // 10 MHz counter
  EXPECT_EQ(CounterToMicroseconds(thirtyDays, 10000000), 30LL * 24 * 3600 * 1000000);
}

// The wide reader converts the child's UTF-8 text, Chinese included.
TEST(WinBaseTest, XmlChildTextWide) {
  TiXmlDocument doc;
  doc.Parse("<r><t>\xE4\xBF\xA1\xE6\x81\xAF</t></r>");  // 信息
  const TiXmlElement* root = doc.FirstChildElement("r");
  ASSERT_NE(root, nullptr);
  wchar_t buffer[8];
  ASSERT_NE(XmlGetChildTextW(root, "t", buffer, 8), nullptr);
  EXPECT_EQ(std::wstring(buffer), std::wstring(L"\x4FE1\x606F"));
  EXPECT_EQ(XmlGetChildTextW(root, "t", buffer, 3), nullptr);
  EXPECT_EQ(XmlGetChildTextW(root, "none", buffer, 8), nullptr);
}
