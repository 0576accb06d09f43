#include "engine/devices/device_monitor.h"

#include <dbt.h>
#include <rpc.h>

#include <algorithm>

#include "engine/window/msg_window.h"

namespace kiv {

namespace {

constexpr DWORD kFinishWaitMs = 3000;

bool SameGuid(const GUID& a, const GUID& b) { return IsEqualGUID(a, b) != 0; }

}  // namespace

CDeviceMonitor* CDeviceMonitor::Instance() {
  static CDeviceMonitor s_monitor;
  return &s_monitor;
}

CDeviceMonitor::CDeviceMonitor(Hooks hooks) : ComObject(__uuidof(IMMNotificationClient)), m_hooks(std::move(hooks)) {
  m_nudge.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  m_finished.Reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
}

CDeviceMonitor::~CDeviceMonitor() {
  StopWatching();
  // The watcher wakes at once and leaves its loop. The thread itself is not joined: when
  // the library is unloaded its exit waits for the loader, which this destructor holds.
  // A thread the process has already ended (at its exit) is not waited for.
  if (m_finished && WatcherAlive()) WaitForSingleObject(m_finished.get(), kFinishWaitMs);
}

uint32_t CDeviceMonitor::Now() const { return m_hooks.now ? m_hooks.now() : GetTickCount(); }

void CDeviceMonitor::PostChanged() const {
  if (m_hooks.post) {
    m_hooks.post();
  } else {
    MsgWindow::Instance()->Post(WM_KIV_DEVICE_CHANGED, 0, 0);
  }
}

std::vector<GUID> CDeviceMonitor::Classes(const std::vector<GUID>& known, bool onlyNew) const {
  return m_hooks.enumClasses ? m_hooks.enumClasses(known, onlyNew) : EnumDeviceClasses(known, onlyNew);
}

bool CDeviceMonitor::Start() {
  m_running = true;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    m_settler = DeviceChangeSettler();
  }
  MsgWindow::Instance()->AddListener(this);
  if (IsRunning() && !WatcherAlive()) StopThread();  // ended earlier
  if (!IsRunning()) {
    ResetEvent(m_finished.get());
    SetName(kThreadName);
    if (!StartThread(true)) {
      SetEvent(m_finished.get());
      return false;
    }
    PinModule();
  }
  UnregisterAll();
  std::vector<GUID> known = Classes({}, false);
  RegisterDeviceClasses(known);
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    m_knownClasses.swap(known);
  }
  return true;
}

void CDeviceMonitor::Stop() {
  StopWatching();
  if (IsRunning()) StopThread();
  UnpinModule();
}

bool CDeviceMonitor::WatcherAlive() {
  DWORD code = 0;
  return IsRunning() && GetExitCode(&code) && code == STILL_ACTIVE;
}

void CDeviceMonitor::PinModule() {
  if (m_pinnedModule) return;
  const auto* here = reinterpret_cast<LPCWSTR>(&CDeviceMonitor::Instance);
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, here, &m_pinnedModule)) m_pinnedModule = nullptr;
}

void CDeviceMonitor::UnpinModule() {
  // The caller runs in this module too, so another reference (the application's) remains.
  if (m_pinnedModule) FreeLibrary(m_pinnedModule);
  m_pinnedModule = nullptr;
}

void CDeviceMonitor::StopWatching() {
  m_running = false;
  if (m_nudge) SetEvent(m_nudge.get());
  UnregisterAll();
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    m_knownClasses.clear();
  }
  MsgWindow::Instance()->RemoveListener(this);
}

int CDeviceMonitor::OnWndMsg(unsigned message, WPARAM, LPARAM) {
  if (message == WM_DEVICECHANGE) NoteChange();
  return 0;
}

HRESULT STDMETHODCALLTYPE CDeviceMonitor::OnDeviceStateChanged(LPCWSTR, DWORD) {
  NoteChange();
  return S_OK;
}

void CDeviceMonitor::NoteChange() {
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    m_settler.NoteChange(Now());
  }
  // The watcher starts its quiet period again from this change.
  if (m_nudge) SetEvent(m_nudge.get());
}

std::vector<GUID> CDeviceMonitor::EnumDeviceClasses(const std::vector<GUID>& known, bool onlyNew) {
  std::vector<GUID> out;
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDeviceClassesKey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return out;
  for (DWORD index = 0;; ++index) {
    wchar_t name[260];
    DWORD length = 260;
    const LONG rc = RegEnumKeyExW(raw, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || length < 3) continue;
    // "{GUID}": the braces are dropped before parsing.
    std::wstring inner(name + 1, length - 2);
    GUID guid;
    if (UuidFromStringW(reinterpret_cast<RPC_WSTR>(&inner[0]), &guid) != RPC_S_OK) continue;
    const bool isKnown = std::any_of(known.begin(), known.end(), [&](const GUID& g) { return SameGuid(g, guid); });
    if (!onlyNew || !isKnown) out.push_back(guid);
  }
  RegCloseKey(raw);
  return out;
}

void CDeviceMonitor::RegisterDeviceClasses(const std::vector<GUID>& classes) {
  HWND window = MsgWindow::Instance()->Window();
  if (!window || !IsWindow(window)) return;
  ZORVANTE::WAutoLock guard(&m_lock);
  for (const GUID& guid : classes) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = guid;
    HDEVNOTIFY handle = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (handle) m_notifications.push_back(handle);
  }
}

void CDeviceMonitor::UnregisterAll() {
  ZORVANTE::WAutoLock guard(&m_lock);
  for (HDEVNOTIFY handle : m_notifications) UnregisterDeviceNotification(handle);
  m_notifications.clear();
}

bool CDeviceMonitor::RescanDeviceClasses() {
  std::vector<GUID> known;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    known = m_knownClasses;
  }
  const std::vector<GUID> added = Classes(known, true);
  if (added.empty()) return false;
  RegisterDeviceClasses(added);
  return true;
}

DWORD CDeviceMonitor::ThreadProc() {
  struct Finished {
    HANDLE event;
    ~Finished() { SetEvent(event); }
  } finished{m_finished.get()};
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDeviceClassesKey, 0, KEY_READ | KEY_NOTIFY, &key) != ERROR_SUCCESS) return 0;
  kiv_common::UniqueHandle registryChanged(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!registryChanged.get() || !m_nudge) {
    RegCloseKey(key);
    return 0;
  }
  bool armed = false;
  while (!StopRequested() && m_running) {
    if (!armed) {
      ResetEvent(registryChanged.get());
      if (RegNotifyChangeKeyValue(key, TRUE, REG_NOTIFY_CHANGE_NAME, registryChanged.get(), TRUE) != ERROR_SUCCESS)
        break;
      armed = true;
    }
    DWORD waitMs;
    {
      ZORVANTE::WAutoLock guard(&m_lock);
      waitMs = m_settler.WaitMs(Now());
    }
    const HANDLE events[2] = {registryChanged.get(), m_nudge.get()};
    const DWORD woke = WaitForMultipleObjects(2, events, FALSE, waitMs);
    if (!m_running || woke == WAIT_FAILED) break;
    if (woke == WAIT_OBJECT_0) {
      armed = false;
      const bool added = RescanDeviceClasses();
      ZORVANTE::WAutoLock guard(&m_lock);
      // Any registry change starts the quiet period again; only a new class is a change.
      if (added) {
        m_settler.NoteChange(Now());
      } else {
        m_settler.RestartQuiet(Now());
      }
    }
    bool settled;
    {
      ZORVANTE::WAutoLock guard(&m_lock);
      settled = m_settler.TakeSettled(Now());
    }
    if (settled) PostChanged();
  }
  RegCloseKey(key);
  return 0;
}

}  // namespace kiv
