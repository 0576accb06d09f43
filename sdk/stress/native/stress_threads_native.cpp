// The threads of this process in the native stress build, from /proc/self/task. Everything
// of the library is linked into the program, so a thread is described as the program's.
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "stress/stress_threads.h"

namespace kiv_stress {

std::set<DWORD> ThreadsOfProcess() {
  std::set<DWORD> ids;
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) return ids;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] >= '0' && entry->d_name[0] <= '9')
      ids.insert(static_cast<DWORD>(strtoul(entry->d_name, nullptr, 10)));
  }
  closedir(tasks);
  return ids;
}

std::string DescribeThread(DWORD threadId) {
  std::string name;
  std::ifstream comm("/proc/self/task/" + std::to_string(threadId) + "/comm");
  if (!comm || !std::getline(comm, name)) return "thread " + std::to_string(threadId) + " (ended)";
  wchar_t path[MAX_PATH] = {0};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  char text[MAX_PATH * 8 + 128];
  snprintf(text, sizeof(text), "thread %lu (%s) in %ls", static_cast<unsigned long>(threadId), name.c_str(), path);
  return text;
}

}  // namespace kiv_stress
