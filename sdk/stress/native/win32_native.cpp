// The Win32 calls of <windows.h> (this folder's stand-in) on the C++ library and POSIX, for
// the native stress build. Every waitable object and message queue lives under one mutex;
// a handle is a counted object, so that a thread's handle stays valid while it runs.
#include <windows.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <rpc.h>
#include <winhttp.h>

namespace {

using Clock = std::chrono::steady_clock;

std::mutex& Mutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}
std::condition_variable& Changed() {
  static std::condition_variable* changed = new std::condition_variable;
  return *changed;
}

thread_local DWORD t_lastError = 0;

// ---- waitable objects ----

enum class Kind { kEvent, kSemaphore, kThread };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  Kind kind;
  std::atomic<int> refs{1};
  // Under Mutex().
  bool signalled = false;
  bool manualReset = true;
  LONG count = 0;
  LONG maximum = 0;
  DWORD threadId = 0;
  DWORD exitCode = STILL_ACTIVE;
  bool suspended = false;
};

void Unref(Object* object) {
  if (--object->refs == 0) delete object;
}

Object* ObjectOf(HANDLE handle) {
  if (!handle || handle == INVALID_HANDLE_VALUE || handle == reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)))
    return nullptr;
  return static_cast<Object*>(handle);
}

// Under Mutex(): whether a wait on `object` is satisfied now; takes what the wait consumes.
bool Ready(Object* object) {
  switch (object->kind) {
    case Kind::kEvent:
      return object->signalled;
    case Kind::kSemaphore:
      return object->count > 0;
    case Kind::kThread:
      return object->signalled;
  }
  return false;
}

void Consume(Object* object) {
  if (object->kind == Kind::kEvent && !object->manualReset) object->signalled = false;
  if (object->kind == Kind::kSemaphore) --object->count;
}

DWORD Wait(DWORD count, const HANDLE* handles, BOOL all, DWORD ms) {
  std::vector<Object*> objects;
  for (DWORD i = 0; i < count; ++i) {
    Object* object = ObjectOf(handles[i]);
    if (!object) return WAIT_FAILED;
    objects.push_back(object);
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms == INFINITE ? 0 : ms);
  std::unique_lock<std::mutex> lock(Mutex());
  for (;;) {
    if (all) {
      bool every = true;
      for (Object* object : objects) every = every && Ready(object);
      if (every) {
        for (Object* object : objects) Consume(object);
        return WAIT_OBJECT_0;
      }
    } else {
      for (DWORD i = 0; i < count; ++i) {
        if (Ready(objects[i])) {
          Consume(objects[i]);
          return WAIT_OBJECT_0 + i;
        }
      }
    }
    if (ms == INFINITE) {
      Changed().wait(lock);
    } else {
      if (Clock::now() >= deadline) return WAIT_TIMEOUT;
      Changed().wait_until(lock, deadline);
    }
  }
}

// ---- threads ----

std::atomic<DWORD> g_nextThreadId{1000};
thread_local DWORD t_threadId = 0;

// Joins every finished thread, then signals its handle: a thread's handle is signalled only
// once the thread is gone, as on Windows. Started with the program, before any test thread.
class Reaper {
 public:
  static Reaper& Instance() {
    static Reaper* reaper = new Reaper;
    return *reaper;
  }
  void Finished(std::thread thread, Object* object) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_done.push_back({std::move(thread), object});
    m_wake.notify_one();
  }

 private:
  Reaper() {
    std::thread([this] {
      for (;;) {
        Entry entry;
        {
          std::unique_lock<std::mutex> lock(m_mutex);
          m_wake.wait(lock, [this] { return !m_done.empty(); });
          entry = std::move(m_done.front());
          m_done.pop_front();
        }
        entry.thread.join();
        {
          std::lock_guard<std::mutex> guard(Mutex());
          entry.object->signalled = true;
        }
        Changed().notify_all();
        Unref(entry.object);
      }
    }).detach();
  }
  struct Entry {
    std::thread thread;
    Object* object = nullptr;
  };
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<Entry> m_done;
};
const bool g_reaperStarted = (Reaper::Instance(), true);

struct ThreadStart {
  Object* object;
  std::function<DWORD()> body;
};

void RunThread(ThreadStart* start) {
  Object* object = start->object;
  t_threadId = object->threadId;
  {
    std::unique_lock<std::mutex> lock(Mutex());
    Changed().wait(lock, [object] { return !object->suspended; });
  }
  const DWORD code = start->body();
  {
    std::lock_guard<std::mutex> guard(Mutex());
    object->exitCode = code;
  }
  delete start;
}

HANDLE StartThread(std::function<DWORD()> body, DWORD flags, DWORD* id) {
  auto* object = new Object(Kind::kThread);
  object->refs = 2;  // the handle and the reaper
  object->threadId = g_nextThreadId++;
  object->suspended = (flags & CREATE_SUSPENDED) != 0;
  auto* start = new ThreadStart{object, std::move(body)};
  // The thread hands its own std::thread to the reaper: it waits until that exists.
  auto self = std::make_shared<std::pair<std::mutex, std::thread>>();
  std::lock_guard<std::mutex> creating(self->first);
  self->second = std::thread([start, object, self] {
    RunThread(start);
    std::thread me;
    {
      std::lock_guard<std::mutex> guard(self->first);
      me = std::move(self->second);
    }
    Reaper::Instance().Finished(std::move(me), object);
  });
  if (id) *id = object->threadId;
  return object;
}

// ---- message queues and windows ----

struct Queue {
  std::deque<MSG> posted;
  std::condition_variable wake;
};

std::map<DWORD, std::shared_ptr<Queue>>& Queues() {
  static auto* queues = new std::map<DWORD, std::shared_ptr<Queue>>;
  return *queues;
}

// Removes the thread's queue when the thread ends: later posts to it fail.
struct QueueOwner {
  DWORD id = 0;
  ~QueueOwner() {
    if (!id) return;
    std::lock_guard<std::mutex> guard(Mutex());
    Queues().erase(id);
  }
};
thread_local QueueOwner t_queueOwner;

DWORD CurrentId() {
  if (!t_threadId) t_threadId = g_nextThreadId++;
  return t_threadId;
}

// Under Mutex().
std::shared_ptr<Queue> QueueOf(DWORD thread, bool create) {
  auto it = Queues().find(thread);
  if (it != Queues().end()) return it->second;
  if (!create) return nullptr;
  auto queue = std::make_shared<Queue>();
  Queues()[thread] = queue;
  t_queueOwner.id = thread;
  return queue;
}

struct WindowClass {
  WNDPROC proc = nullptr;
};

std::map<std::wstring, WindowClass>& Classes() {
  static auto* classes = new std::map<std::wstring, WindowClass>;
  return *classes;
}

}  // namespace

struct HWND__ {
  WNDPROC proc = nullptr;
  DWORD thread = 0;
  HWND parent = nullptr;
  LONG_PTR userData = 0;
  bool alive = true;
};

namespace {

// Every window ever made stays allocated (a stale handle is recognised as dead).
std::set<HWND>& Windows() {
  static auto* windows = new std::set<HWND>;
  return *windows;
}

HWND LiveWindow(HWND window) {
  if (!window || !Windows().count(window) || !window->alive) return nullptr;
  return window;
}

bool InRange(UINT message, UINT first, UINT last) {
  return (first == 0 && last == 0) || (message >= first && message <= last);
}

// Under the lock: the first posted message for `window` (any when null) in range.
bool Take(Queue& queue, HWND window, UINT first, UINT last, bool remove, MSG* out) {
  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (window && it->hwnd != window) continue;
    if (!InRange(it->message, first, last) && it->message != WM_QUIT) continue;
    *out = *it;
    if (remove) queue.posted.erase(it);
    return true;
  }
  return false;
}

bool Post(DWORD thread, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> guard(Mutex());
  std::shared_ptr<Queue> queue = QueueOf(thread, false);
  if (!queue) return false;
  MSG msg = {};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = GetTickCount();
  queue->posted.push_back(msg);
  queue->wake.notify_all();
  return true;
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  if (!text) return out;
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string PosixPath(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

// ---- registry ----

struct Key {
  std::wstring path;
};
std::map<std::wstring, std::map<std::string, std::string>>& Store() {
  static auto* store = new std::map<std::wstring, std::map<std::string, std::string>>;
  return *store;
}

std::wstring KeyPath(HKEY root, LPCWSTR subKey) {
  std::wstring path = std::to_wstring(reinterpret_cast<uintptr_t>(root));
  if (root != HKEY_CURRENT_USER && root != HKEY_LOCAL_MACHINE && root != HKEY_CLASSES_ROOT)
    path = reinterpret_cast<Key*>(root)->path;
  path += L"\\";
  if (subKey) path += subKey;
  return path;
}

// ---- libraries ----

struct Library {
  std::wstring file;
  const NativeExport* exports = nullptr;
  int loads = 0;
};

std::vector<Library*>& Libraries() {
  static auto* libraries = new std::vector<Library*>;
  return *libraries;
}

HMODULE Program() {
  static int program;
  return reinterpret_cast<HMODULE>(&program);
}

std::wstring FileName(const wchar_t* path) {
  std::wstring text(path ? path : L"");
  const size_t slash = text.find_last_of(L"\\/");
  return slash == std::wstring::npos ? text : text.substr(slash + 1);
}

}  // namespace

// ---- synchronisation ----

void InitializeCriticalSection(CRITICAL_SECTION* cs) { cs->impl = new std::recursive_mutex; }
BOOL InitializeCriticalSectionAndSpinCount(CRITICAL_SECTION* cs, DWORD) {
  InitializeCriticalSection(cs);
  return TRUE;
}
void DeleteCriticalSection(CRITICAL_SECTION* cs) {
  delete static_cast<std::recursive_mutex*>(cs->impl);
  cs->impl = nullptr;
}
void EnterCriticalSection(CRITICAL_SECTION* cs) { static_cast<std::recursive_mutex*>(cs->impl)->lock(); }
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs) { return static_cast<std::recursive_mutex*>(cs->impl)->try_lock(); }
void LeaveCriticalSection(CRITICAL_SECTION* cs) { static_cast<std::recursive_mutex*>(cs->impl)->unlock(); }

HANDLE CreateEventW(void*, BOOL manualReset, BOOL initialState, LPCWSTR) {
  auto* object = new Object(Kind::kEvent);
  object->manualReset = manualReset != 0;
  object->signalled = initialState != 0;
  return object;
}

BOOL SetEvent(HANDLE event) {
  Object* object = ObjectOf(event);
  if (!object || object->kind != Kind::kEvent) return FALSE;
  {
    std::lock_guard<std::mutex> guard(Mutex());
    object->signalled = true;
  }
  Changed().notify_all();
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  Object* object = ObjectOf(event);
  if (!object || object->kind != Kind::kEvent) return FALSE;
  std::lock_guard<std::mutex> guard(Mutex());
  object->signalled = false;
  return TRUE;
}

HANDLE CreateSemaphoreW(void*, LONG initial, LONG maximum, LPCWSTR) {
  if (initial < 0 || maximum <= 0 || initial > maximum) return nullptr;
  auto* object = new Object(Kind::kSemaphore);
  object->count = initial;
  object->maximum = maximum;
  return object;
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG count, LONG* previous) {
  Object* object = ObjectOf(semaphore);
  if (!object || object->kind != Kind::kSemaphore || count <= 0) return FALSE;
  {
    std::lock_guard<std::mutex> guard(Mutex());
    if (previous) *previous = object->count;
    if (object->count + count > object->maximum) return FALSE;
    object->count += count;
  }
  Changed().notify_all();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD ms) { return Wait(1, &handle, FALSE, ms); }
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL all, DWORD ms) {
  return Wait(count, handles, all, ms);
}

BOOL CloseHandle(HANDLE handle) {
  Object* object = ObjectOf(handle);
  if (!object) return FALSE;
  Unref(object);
  return TRUE;
}

BOOL DuplicateHandle(HANDLE, HANDLE source, HANDLE, HANDLE* target, DWORD, BOOL, DWORD) {
  Object* object = ObjectOf(source);
  if (!object || !target) return FALSE;
  ++object->refs;
  *target = object;
  return TRUE;
}

HANDLE CreateThread(void*, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags, DWORD* id) {
  return StartThread([start, parameter] { return start(parameter); }, flags, id);
}

uintptr_t _beginthreadex(void*, unsigned, unsigned(__stdcall* start)(void*), void* argument, unsigned flags,
                         unsigned* id) {
  DWORD threadId = 0;
  HANDLE thread = StartThread([start, argument] { return static_cast<DWORD>(start(argument)); }, flags, &threadId);
  if (id) *id = threadId;
  return reinterpret_cast<uintptr_t>(thread);
}

void _endthreadex(unsigned) { abort(); }  // never used: threads return from their body

DWORD ResumeThread(HANDLE thread) {
  Object* object = ObjectOf(thread);
  if (!object || object->kind != Kind::kThread) return static_cast<DWORD>(-1);
  DWORD previous;
  {
    std::lock_guard<std::mutex> guard(Mutex());
    previous = object->suspended ? 1 : 0;
    object->suspended = false;
  }
  Changed().notify_all();
  return previous;
}

DWORD SuspendThread(HANDLE) { return static_cast<DWORD>(-1); }

BOOL GetExitCodeThread(HANDLE thread, DWORD* code) {
  Object* object = ObjectOf(thread);
  if (!object || object->kind != Kind::kThread || !code) return FALSE;
  std::lock_guard<std::mutex> guard(Mutex());
  *code = object->signalled ? object->exitCode : STILL_ACTIVE;
  return TRUE;
}

BOOL SetThreadPriority(HANDLE, int) { return TRUE; }
HANDLE GetCurrentThread() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)); }
HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }
DWORD GetCurrentThreadId() { return CurrentId(); }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }
DWORD GetThreadId(HANDLE thread) {
  Object* object = ObjectOf(thread);
  return object && object->kind == Kind::kThread ? object->threadId : 0;
}
BOOL TerminateProcess(HANDLE, UINT code) {
  fflush(nullptr);
  _exit(static_cast<int>(code));
}

LONG InterlockedIncrement(volatile LONG* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedDecrement(volatile LONG* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedExchange(volatile LONG* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }
ULONGLONG GetTickCount64() {
  return static_cast<ULONGLONG>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}
BOOL QueryPerformanceCounter(LARGE_INTEGER* counter) {
  counter->QuadPart = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
  return TRUE;
}
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  frequency->QuadPart = 1000000000;
  return TRUE;
}
void Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }

PVOID AddVectoredExceptionHandler(ULONG, PVECTORED_EXCEPTION_HANDLER handler) {
  return reinterpret_cast<PVOID>(handler);
}
ULONG RemoveVectoredExceptionHandler(PVOID) { return 1; }
void RaiseException(DWORD, DWORD, DWORD, const ULONG_PTR*) {}  // only the thread-name notice is raised
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER) { return nullptr; }

// ---- modules ----

void NativeRegisterLibrary(const wchar_t* file, const NativeExport* exports) {
  std::lock_guard<std::mutex> guard(Mutex());
  auto* library = new Library;
  library->file = file;
  library->exports = exports;
  Libraries().push_back(library);
}

HMODULE LoadLibraryW(LPCWSTR path) {
  const std::wstring file = FileName(path);
  std::lock_guard<std::mutex> guard(Mutex());
  for (Library* library : Libraries()) {
    if (library->file == file) {
      ++library->loads;
      return reinterpret_cast<HMODULE>(library);
    }
  }
  t_lastError = ERROR_FILE_NOT_FOUND;
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  if (module == Program()) return TRUE;
  std::lock_guard<std::mutex> guard(Mutex());
  for (Library* library : Libraries()) {
    if (reinterpret_cast<HMODULE>(library) == module && library->loads > 0) {
      --library->loads;
      return TRUE;
    }
  }
  return FALSE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (!module || !name) return nullptr;
  std::lock_guard<std::mutex> guard(Mutex());
  for (Library* library : Libraries()) {
    if (reinterpret_cast<HMODULE>(library) != module) continue;
    for (const NativeExport* e = library->exports; e && e->name; ++e) {
      if (std::strcmp(e->name, name) == 0) return e->proc;
    }
  }
  return nullptr;
}

HMODULE GetModuleHandleW(LPCWSTR name) {
  if (!name) return Program();
  const std::wstring file = FileName(name);
  std::lock_guard<std::mutex> guard(Mutex());
  for (Library* library : Libraries()) {
    if (library->file == file && library->loads > 0) return reinterpret_cast<HMODULE>(library);
  }
  return nullptr;
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* module) {
  if (!module) return FALSE;
  *module = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) ? Program() : GetModuleHandleW(name);
  return *module != nullptr;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR path, DWORD capacity) {
  if (!path || capacity == 0) return 0;
  std::string exe;
  if (!module || module == Program()) {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) return 0;
    exe.assign(buffer, static_cast<size_t>(n));
  } else {
    const std::wstring file = FileName(reinterpret_cast<Library*>(module)->file.c_str());
    exe = Narrow(file.c_str());
  }
  const int n = MultiByteToWideChar(CP_UTF8, 0, exe.c_str(), -1, path, static_cast<int>(capacity));
  if (n <= 0) {
    path[capacity - 1] = 0;
    return capacity;
  }
  return static_cast<DWORD>(n - 1);
}

// ---- files and text ----

DWORD GetFileAttributesA(LPCSTR path) {
  struct stat st;
  if (!path || stat(PosixPath(path).c_str(), &st) != 0) return INVALID_FILE_ATTRIBUTES;
  return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0x80u;
}
DWORD GetFileAttributesW(LPCWSTR path) {
  return path ? GetFileAttributesA(Narrow(path).c_str()) : INVALID_FILE_ATTRIBUTES;
}
BOOL DeleteFileA(LPCSTR path) { return path && unlink(PosixPath(path).c_str()) == 0; }
BOOL DeleteFileW(LPCWSTR path) { return path && DeleteFileA(Narrow(path).c_str()); }
BOOL CreateDirectoryW(LPCWSTR path, void*) { return path && mkdir(PosixPath(Narrow(path)).c_str(), 0755) == 0; }
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD) {
  return from && to && rename(PosixPath(Narrow(from)).c_str(), PosixPath(Narrow(to)).c_str()) == 0;
}
DWORD GetCurrentDirectoryA(DWORD capacity, LPSTR buffer) {
  char path[4096];
  if (!getcwd(path, sizeof(path))) return 0;
  const size_t n = std::strlen(path);
  if (!buffer || capacity <= n) return static_cast<DWORD>(n + 1);
  std::memcpy(buffer, path, n + 1);
  return static_cast<DWORD>(n);
}
DWORD GetCurrentDirectoryW(DWORD capacity, LPWSTR buffer) {
  char path[4096];
  if (!getcwd(path, sizeof(path))) return 0;
  const int needed = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
  if (!buffer || capacity < static_cast<DWORD>(needed)) return static_cast<DWORD>(needed);
  return static_cast<DWORD>(MultiByteToWideChar(CP_UTF8, 0, path, -1, buffer, static_cast<int>(capacity)) - 1);
}

FILE* _wfopen(const wchar_t* path, const wchar_t* mode) {
  if (!path || !mode) return nullptr;
  return fopen(PosixPath(Narrow(path)).c_str(), Narrow(mode).c_str());
}

void _wsplitpath(const wchar_t* path, wchar_t* drive, wchar_t* dir, wchar_t* name, wchar_t* ext) {
  std::wstring rest(path ? path : L"");
  std::wstring d;
  if (rest.size() >= 2 && rest[1] == L':') {
    d = rest.substr(0, 2);
    rest = rest.substr(2);
  }
  const size_t slash = rest.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? std::wstring() : rest.substr(0, slash + 1);
  const std::wstring file = slash == std::wstring::npos ? rest : rest.substr(slash + 1);
  const size_t dot = file.find_last_of(L'.');
  auto put = [](wchar_t* out, const std::wstring& text, size_t capacity) {
    if (!out) return;
    const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::wmemcpy(out, text.c_str(), n);
    out[n] = 0;
  };
  put(drive, d, _MAX_DRIVE);
  put(dir, folder, _MAX_DIR);
  put(name, dot == std::wstring::npos ? file : file.substr(0, dot), _MAX_FNAME);
  put(ext, dot == std::wstring::npos ? std::wstring() : file.substr(dot), _MAX_EXT);
}

// Both code pages are UTF-8 natively; wide text is UTF-32.
int MultiByteToWideChar(UINT, DWORD, LPCSTR source, int sourceLength, LPWSTR out, int capacity) {
  if (!source) return 0;
  const size_t length = sourceLength < 0 ? std::strlen(source) + 1 : static_cast<size_t>(sourceLength);
  std::vector<wchar_t> wide;
  for (size_t i = 0; i < length;) {
    const unsigned char c = static_cast<unsigned char>(source[i]);
    uint32_t code = 0xFFFD;
    size_t extra = 0;
    if (c < 0x80) {
      code = c;
    } else if ((c & 0xE0) == 0xC0) {
      code = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      code = c & 0x0F;
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      code = c & 0x07;
      extra = 3;
    }
    size_t j = 1;
    for (; j <= extra && i + j < length; ++j) {
      const unsigned char next = static_cast<unsigned char>(source[i + j]);
      if ((next & 0xC0) != 0x80) break;
      code = (code << 6) | (next & 0x3F);
    }
    if (j <= extra) code = 0xFFFD;
    wide.push_back(static_cast<wchar_t>(code));
    i += j;
  }
  if (capacity == 0 || !out) return static_cast<int>(wide.size());
  if (wide.size() > static_cast<size_t>(capacity)) return 0;
  std::wmemcpy(out, wide.data(), wide.size());
  return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT, DWORD, LPCWSTR source, int sourceLength, LPSTR out, int capacity, LPCSTR, BOOL* used) {
  if (used) *used = FALSE;
  if (!source) return 0;
  const size_t length = sourceLength < 0 ? std::wcslen(source) + 1 : static_cast<size_t>(sourceLength);
  std::string narrow;
  for (size_t i = 0; i < length; ++i) {
    uint32_t code = static_cast<uint32_t>(source[i]);
    if (code > 0x10FFFF) code = 0xFFFD;
    if (code < 0x80) {
      narrow += static_cast<char>(code);
    } else if (code < 0x800) {
      narrow += static_cast<char>(0xC0 | (code >> 6));
      narrow += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      narrow += static_cast<char>(0xE0 | (code >> 12));
      narrow += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      narrow += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      narrow += static_cast<char>(0xF0 | (code >> 18));
      narrow += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      narrow += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      narrow += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  if (capacity == 0 || !out) return static_cast<int>(narrow.size());
  if (narrow.size() > static_cast<size_t>(capacity)) return 0;
  std::memcpy(out, narrow.data(), narrow.size());
  return static_cast<int>(narrow.size());
}

wchar_t* lstrcpynW(wchar_t* out, const wchar_t* in, int capacity) {
  if (!out || capacity <= 0) return out;
  int i = 0;
  for (; in && i < capacity - 1 && in[i]; ++i) out[i] = in[i];
  out[i] = 0;
  return out;
}

HANDLE GetStdHandle(DWORD which) {
  return which == STD_ERROR_HANDLE ? reinterpret_cast<HANDLE>(static_cast<intptr_t>(2)) : nullptr;
}
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD length, DWORD* written, void*) {
  const ssize_t n = write(static_cast<int>(reinterpret_cast<intptr_t>(file)), data, length);
  if (written) *written = n > 0 ? static_cast<DWORD>(n) : 0;
  return n >= 0;
}
void OutputDebugStringA(LPCSTR) {}
void OutputDebugStringW(LPCWSTR) {}

// ---- registry ----

LONG RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD, REGSAM, PHKEY key) {
  const std::wstring path = KeyPath(root, subKey);
  std::lock_guard<std::mutex> guard(Mutex());
  if (!Store().count(path)) return ERROR_FILE_NOT_FOUND;
  *key = reinterpret_cast<HKEY>(new Key{path});
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, void*, PHKEY key, DWORD* disposition) {
  const std::wstring path = KeyPath(root, subKey);
  std::lock_guard<std::mutex> guard(Mutex());
  if (disposition) *disposition = Store().count(path) ? 2 : 1;
  (void)Store()[path];
  *key = reinterpret_cast<HKEY>(new Key{path});
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  delete reinterpret_cast<Key*>(key);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  std::lock_guard<std::mutex> guard(Mutex());
  auto& values = Store()[reinterpret_cast<Key*>(key)->path];
  auto it = values.find(name ? name : "");
  if (it == values.end()) return ERROR_FILE_NOT_FOUND;
  if (type) *type = REG_SZ;
  const DWORD needed = static_cast<DWORD>(it->second.size() + 1);
  if (!size) return ERROR_SUCCESS;
  if (!data || *size < needed) {
    *size = needed;
    return data ? ERROR_MORE_DATA : ERROR_SUCCESS;
  }
  std::memcpy(data, it->second.c_str(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD, const BYTE* data, DWORD size) {
  std::lock_guard<std::mutex> guard(Mutex());
  std::string value(reinterpret_cast<const char*>(data), size);
  while (!value.empty() && value.back() == 0) value.pop_back();
  Store()[reinterpret_cast<Key*>(key)->path][name ? name : ""] = value;
  return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY, DWORD, LPWSTR, DWORD*, DWORD*, LPWSTR, DWORD*, void*) { return ERROR_NO_MORE_ITEMS; }
LONG RegNotifyChangeKeyValue(HKEY, BOOL, DWORD, HANDLE, BOOL) { return ERROR_CALL_NOT_IMPLEMENTED; }

// ---- COM ----

HRESULT CoInitializeEx(void*, DWORD) { return S_OK; }
void CoUninitialize() {}

HRESULT CoCreateGuid(GUID* guid) {
  static std::mutex mutex;
  static std::mt19937_64 random{std::random_device{}()};
  std::lock_guard<std::mutex> guard(mutex);
  const uint64_t a = random(), b = random();
  std::memcpy(guid, &a, 8);
  std::memcpy(reinterpret_cast<uint8_t*>(guid) + 8, &b, 8);
  return S_OK;
}

int StringFromGUID2(REFGUID guid, LPWSTR out, int capacity) {
  if (capacity < 39) return 0;
  swprintf(out, static_cast<size_t>(capacity), L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
           guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
           guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return 39;
}

RPC_STATUS UuidFromStringW(RPC_WSTR text, UUID* uuid) {
  unsigned d1, d2, d3, b[8];
  if (!text || !uuid ||
      swscanf(text, L"%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3], &b[4], &b[5],
              &b[6], &b[7]) != 11)
    return RPC_S_INVALID_STRING_UUID;
  uuid->Data1 = d1;
  uuid->Data2 = static_cast<uint16_t>(d2);
  uuid->Data3 = static_cast<uint16_t>(d3);
  for (int i = 0; i < 8; ++i) uuid->Data4[i] = static_cast<uint8_t>(b[i]);
  return RPC_S_OK;
}

// ---- windows and messages ----

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!wc || !wc->lpszClassName) return 0;
  std::lock_guard<std::mutex> guard(Mutex());
  if (Classes().count(wc->lpszClassName)) return 0;
  Classes()[wc->lpszClassName].proc = wc->lpfnWndProc;
  return static_cast<ATOM>(Classes().size());
}

HWND CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR, DWORD, int, int, int, int, HWND parent, HMENU, HINSTANCE,
                     LPVOID) {
  const DWORD thread = CurrentId();
  std::lock_guard<std::mutex> guard(Mutex());
  WNDPROC proc = DefWindowProcW;
  if (className && std::wstring(className) != L"STATIC") {
    auto it = Classes().find(className);
    if (it == Classes().end()) return nullptr;
    proc = it->second.proc;
  }
  if (parent && parent != HWND_MESSAGE && !LiveWindow(parent)) return nullptr;
  (void)QueueOf(thread, true);
  HWND window = new HWND__;
  window->proc = proc;
  window->thread = thread;
  window->parent = parent == HWND_MESSAGE ? nullptr : parent;
  Windows().insert(window);
  return window;
}

BOOL DestroyWindow(HWND window) {
  std::vector<HWND> gone;
  {
    std::lock_guard<std::mutex> guard(Mutex());
    if (!LiveWindow(window) || window->thread != CurrentId()) return FALSE;
    // The window and its descendants, children first.
    std::vector<HWND> level{window};
    while (!level.empty()) {
      std::vector<HWND> next;
      for (HWND w : Windows()) {
        for (HWND p : level) {
          if (w->alive && w->parent == p) next.push_back(w);
        }
      }
      gone.insert(gone.begin(), level.begin(), level.end());
      level = next;
    }
  }
  for (HWND w : gone) {
    WNDPROC proc;
    {
      std::lock_guard<std::mutex> guard(Mutex());
      proc = w->alive ? w->proc : nullptr;
    }
    if (proc) proc(w, WM_DESTROY, 0, 0);
    std::lock_guard<std::mutex> guard(Mutex());
    w->alive = false;
  }
  return TRUE;
}

BOOL IsWindow(HWND window) {
  std::lock_guard<std::mutex> guard(Mutex());
  return LiveWindow(window) != nullptr;
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  std::lock_guard<std::mutex> guard(Mutex());
  if (!LiveWindow(window) || index != GWLP_USERDATA) return 0;
  const LONG_PTR previous = window->userData;
  window->userData = value;
  return previous;
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
  std::lock_guard<std::mutex> guard(Mutex());
  if (!LiveWindow(window) || index != GWLP_USERDATA) return 0;
  return window->userData;
}

LRESULT DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD thread;
  {
    std::lock_guard<std::mutex> guard(Mutex());
    if (!window) {
      thread = CurrentId();
    } else if (!LiveWindow(window)) {
      return FALSE;
    } else {
      thread = window->thread;
    }
  }
  return Post(thread, window, message, wParam, lParam);
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc;
  {
    std::lock_guard<std::mutex> guard(Mutex());
    if (!LiveWindow(window) || window->thread != CurrentId()) return 0;  // cross-thread sends are not made
    proc = window->proc;
  }
  return proc(window, message, wParam, lParam);
}

BOOL PostThreadMessageW(DWORD thread, UINT message, WPARAM wParam, LPARAM lParam) {
  return Post(thread, nullptr, message, wParam, lParam);
}

BOOL GetMessageW(MSG* msg, HWND window, UINT first, UINT last) {
  const DWORD thread = CurrentId();
  std::unique_lock<std::mutex> lock(Mutex());
  std::shared_ptr<Queue> queue = QueueOf(thread, true);
  queue->wake.wait(lock, [&] { return Take(*queue, window, first, last, true, msg); });
  return msg->message != WM_QUIT;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
  const DWORD thread = CurrentId();
  std::lock_guard<std::mutex> guard(Mutex());
  std::shared_ptr<Queue> queue = QueueOf(thread, true);
  return Take(*queue, window, first, last, (remove & PM_REMOVE) != 0, msg);
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageW(const MSG* msg) {
  WNDPROC proc;
  {
    std::lock_guard<std::mutex> guard(Mutex());
    if (!msg || !LiveWindow(msg->hwnd)) return 0;
    proc = msg->hwnd->proc;
  }
  return proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int code) { (void)Post(CurrentId(), nullptr, WM_QUIT, static_cast<WPARAM>(code), 0); }

DWORD GetWindowThreadProcessId(HWND window, DWORD* process) {
  if (process) *process = GetCurrentProcessId();
  std::lock_guard<std::mutex> guard(Mutex());
  return LiveWindow(window) ? window->thread : 0;
}

BOOL GetClientRect(HWND, RECT* rect) {
  if (rect) *rect = RECT{0, 0, 0, 0};
  return TRUE;
}
BOOL InvalidateRect(HWND, const RECT*, BOOL) { return TRUE; }
BOOL ScreenToClient(HWND, POINT*) { return TRUE; }
BOOL GetCursorPos(POINT* point) {
  if (point) *point = POINT{0, 0};
  return TRUE;
}
int GetSystemMetrics(int index) { return index == SM_CXVIRTUALSCREEN ? 1920 : index == SM_CYVIRTUALSCREEN ? 1080 : 0; }
HDC BeginPaint(HWND, PAINTSTRUCT* paint) {
  if (paint) *paint = PAINTSTRUCT{};
  return nullptr;
}
BOOL EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }
int FillRect(HDC, const RECT*, HBRUSH) { return 0; }
HGDIOBJ GetStockObject(int) { return nullptr; }

HDEVNOTIFY RegisterDeviceNotificationW(HANDLE, LPVOID, DWORD) { return nullptr; }
BOOL UnregisterDeviceNotification(HDEVNOTIFY) { return TRUE; }

// ---- HTTP: no session ever opens ----

HINTERNET WinHttpOpen(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD) { return nullptr; }
BOOL WinHttpCloseHandle(HINTERNET) { return TRUE; }
BOOL WinHttpCrackUrl(LPCWSTR, DWORD, DWORD, URL_COMPONENTS*) { return FALSE; }
HINTERNET WinHttpConnect(HINTERNET, LPCWSTR, INTERNET_PORT, DWORD) { return nullptr; }
HINTERNET WinHttpOpenRequest(HINTERNET, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR*, DWORD) { return nullptr; }
BOOL WinHttpSetOption(HINTERNET, DWORD, LPVOID, DWORD) { return FALSE; }
BOOL WinHttpAddRequestHeaders(HINTERNET, LPCWSTR, DWORD, DWORD) { return FALSE; }
BOOL WinHttpSendRequest(HINTERNET, LPCWSTR, DWORD, LPVOID, DWORD, DWORD, DWORD_PTR) { return FALSE; }
BOOL WinHttpWriteData(HINTERNET, LPCVOID, DWORD, DWORD*) { return FALSE; }
BOOL WinHttpReceiveResponse(HINTERNET, LPVOID) { return FALSE; }
BOOL WinHttpQueryDataAvailable(HINTERNET, DWORD*) { return FALSE; }
BOOL WinHttpReadData(HINTERNET, LPVOID, DWORD, DWORD*) { return FALSE; }
