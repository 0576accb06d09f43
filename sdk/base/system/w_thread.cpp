#include "base/system/w_thread.h"

#include <process.h>

#include <cstring>

namespace ZORVANTE {

namespace {

constexpr DWORD kStartWaitMs = 15000;
constexpr DWORD kSetThreadNameException = 0x406D1388;

#pragma pack(push, 8)
struct ThreadNameInfo {
  DWORD type;  // 4096
  LPCSTR name;
  DWORD threadId;  // -1: the calling thread
  DWORD flags;
};
#pragma pack(pop)

LONG CALLBACK SwallowThreadNameException(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == kSetThreadNameException) return EXCEPTION_CONTINUE_EXECUTION;
  return EXCEPTION_CONTINUE_SEARCH;
}

// The thread's description (Windows 10 and later, and Wine), which thread listings show
// without a debugger; nothing where the system has none.
void DescribeThread(const char* name) {
  using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  const auto describe = reinterpret_cast<Describe>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (!describe) return;
  wchar_t wide[128] = {};
  if (MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, 127) > 0) describe(GetCurrentThread(), wide);
}

}  // namespace

void SetThreadName(const char* name) {
  DescribeThread(name);
  ThreadNameInfo info{4096, name, static_cast<DWORD>(-1), 0};
  // A debugger sees the exception first; without one the handler swallows it.
  PVOID handler = AddVectoredExceptionHandler(1, SwallowThreadNameException);
  if (!handler) return;
  RaiseException(kSetThreadNameException, 0, sizeof(info) / sizeof(ULONG_PTR),
                 reinterpret_cast<const ULONG_PTR*>(&info));
  RemoveVectoredExceptionHandler(handler);
}

WThread::WThread() {
  std::memset(m_name, 0, sizeof(m_name));
  m_stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

WThread::~WThread() = default;

void WThread::SetName(const char* name) {
  std::memset(m_name, 0, sizeof(m_name));
  if (name) std::strncpy(m_name, name, sizeof(m_name) - 1);
}

bool WThread::StartThread(bool waitForQueue, WThread* target) {
  if (m_thread) return true;
  m_stop = 0;
  if (m_stopEvent) ResetEvent(m_stopEvent.get());
  WThread* runner = target ? target : this;
  kiv_common::UniqueHandle startEvent;
  if (waitForQueue) startEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  runner->m_startEvent = startEvent.get();
  const bool autoDelete = runner->m_autoDelete != 0;

  // Created suspended so that handle and id are stored before the body runs: an
  // auto-deleting thread may otherwise free its object before this call touches it.
  unsigned id = 0;
  HANDLE thread =
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WThread::ThreadEntry, runner, CREATE_SUSPENDED, &id));
  if (thread) {
    m_thread.Reset(thread);
    m_threadId = id;
    ::ResumeThread(thread);
  } else {
    runner->m_startEvent = nullptr;
  }
  if (startEvent) {
    if (thread) WaitForSingleObject(startEvent.get(), kStartWaitMs);
    startEvent.Reset();
    // The runner may already be gone when it deletes itself.
    if (!autoDelete || !thread) runner->m_startEvent = nullptr;
  }
  return thread != nullptr;
}

void WThread::SetAutoDelete(int autoDelete) { m_autoDelete = autoDelete; }

DWORD WThread::SuspendThread() { return ::SuspendThread(m_thread.get()); }

DWORD WThread::ResumeThread() { return ::ResumeThread(m_thread.get()); }

BOOL WThread::SetPriority(int priority) { return SetThreadPriority(m_thread.get(), priority); }

BOOL WThread::GetExitCode(DWORD* exitCode) { return GetExitCodeThread(m_thread.get(), exitCode); }

void WThread::StopThread() {
  SignalStop();
  if (m_thread) {
    WaitForSingleObject(m_thread.get(), INFINITE);
    m_thread.Reset();
    m_threadId = 0;
  }
}

void WThread::SignalStop() {
  if (m_thread) {
    m_stop = 1;
    if (m_stopEvent) SetEvent(m_stopEvent.get());
  }
}

DWORD WThread::ThreadProc() { return 0; }

DWORD WThread::GetThreadId() { return m_threadId; }

bool WThread::IsRunning() { return static_cast<bool>(m_thread); }

unsigned __stdcall WThread::ThreadEntry(void* object) {
  WThread* self = static_cast<WThread*>(object);
  if (self->m_startEvent) {
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetEvent(self->m_startEvent);
  }
  if (self->m_name[0] != '\0') SetThreadName(self->m_name);
  const DWORD code = self->ThreadProc();
  self->m_exitCode = code;
  if (self->m_autoDelete) {
    // Nobody stops an auto-deleting thread, so its handle is closed here.
    self->m_thread.Reset();
    delete self;
  }
  return code;
}

}  // namespace ZORVANTE
