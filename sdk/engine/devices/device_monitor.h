// Notices that devices were plugged in or removed and, once the changes have settled,
// posts one WM_KIV_DEVICE_CHANGED to the library's message window. Sources: the registry
// subtree of the device-interface classes (watched on the monitor's own thread) and the
// WM_DEVICECHANGE messages the system sends to the message window for every registered
// device-interface class.
#pragma once

#include <windows.h>

#include <mmdeviceapi.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "base/system/w_lock.h"
#include "base/system/w_thread.h"
#include "common/win/com_object.h"
#include "common/win/unique_handle.h"
#include "engine/devices/device_change_settler.h"
#include "engine/window/wnd_msg_listener.h"

namespace kiv {

// Also a Core Audio notification client: a device state change counts as a change. The
// library itself does not register it with an endpoint enumerator.
class CDeviceMonitor : public kiv_common::ComObject<kiv_common::KeepOnLastRelease, IMMNotificationClient>,
                       public ZORVANTE::WThread,
                       public IWndMsgListener {
 public:
  static constexpr const wchar_t* kDeviceClassesKey = L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses";

  // What the monitor reaches outside itself; empty members take the real ones (the
  // millisecond tick count, a post to the message window, EnumDeviceClasses).
  struct Hooks {
    std::function<uint32_t()> now;
    std::function<void()> post;
    std::function<std::vector<GUID>(const std::vector<GUID>& known, bool onlyNew)> enumClasses;
  };

  // The process-wide monitor, created on first use.
  static CDeviceMonitor* Instance();

  explicit CDeviceMonitor(Hooks hooks = {});
  ~CDeviceMonitor() override;

  // The watcher thread's name, as debuggers and thread listings show it.
  static constexpr const char* kThreadName = "kiv device monitor";

  // Listens on the message window, starts the watcher (once) and registers a device
  // notification for every known class. Again after the window was re-created: the
  // notifications move to the new window. While the watcher runs, the module holding
  // this code stays loaded: a library unloaded before Stop stays mapped instead of
  // pulling the code from under the thread.
  bool Start();
  // Stops watching: wakes the watcher, which ends without posting, waits for its thread
  // to end (the thread's own epilogue still reads this object), unregisters the
  // notifications and lets the module go. Call it before deleting a monitor and before
  // the library is unloaded (the engine's release does); the destructor cannot wait for
  // the thread (see there).
  void Stop();
  int OnWndMsg(unsigned message, WPARAM wParam, LPARAM lParam) override;
  DWORD ThreadProc() override;

  // IMMNotificationClient. The count only tracks references: the object is never deleted
  // through it.
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR deviceId, DWORD newState) override;
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow, ERole, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

  // The class GUIDs under the device-classes key; with `onlyNew`, those not in `known`.
  static std::vector<GUID> EnumDeviceClasses(const std::vector<GUID>& known, bool onlyNew);

 private:
  // Stop without waiting for the thread: for the destructor, which may run under the
  // loader lock that the ending thread needs.
  void StopWatching();
  bool WatcherAlive();
  void PinModule();
  void UnpinModule();
  void NoteChange();
  void RegisterDeviceClasses(const std::vector<GUID>& classes);
  void UnregisterAll();
  bool RescanDeviceClasses();
  uint32_t Now() const;
  void PostChanged() const;
  std::vector<GUID> Classes(const std::vector<GUID>& known, bool onlyNew) const;

  Hooks m_hooks;
  ZORVANTE::WLock m_lock;  // guards the settler, the notification handles and the known classes
  DeviceChangeSettler m_settler;
  std::vector<HDEVNOTIFY> m_notifications;
  std::vector<GUID> m_knownClasses;
  std::atomic<bool> m_running{false};
  kiv_common::UniqueHandle m_nudge;     // auto-reset: a change or Stop wakes the watcher
  kiv_common::UniqueHandle m_finished;  // manual-reset: set while no watcher loop runs
  HMODULE m_pinnedModule = nullptr;     // this code's module, referenced while the watcher runs
};

}  // namespace kiv
