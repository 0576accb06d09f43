// The threads of this process, to find threads a release left running.
#pragma once

#include <windows.h>

#include <set>
#include <string>

namespace kiv_stress {

std::set<DWORD> ThreadsOfProcess();
// The thread's start address and the module it lies in ("not in a loaded module" when
// none: an unloaded library's thread).
std::string DescribeThread(DWORD threadId);

}  // namespace kiv_stress
