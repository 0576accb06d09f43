// The winmm mixer part of the Windows level device layer: mixers, lines, controls, and the
// hidden notification windows of class "OrvexCommonClass".
#include "device/windows_level_device_layer.h"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <map>

namespace {

constexpr wchar_t kClassName[] = L"OrvexCommonClass";

class WindowsNotifyWindow;

// Window handle to window object, under its own lock.
VORAX::Mutex& WindowMapLock() {
  static VORAX::Mutex lock;
  return lock;
}
std::map<HWND, WindowsNotifyWindow*>& WindowMap() {
  static std::map<HWND, WindowsNotifyWindow*> map;
  return map;
}

class WindowsNotifyWindow : public MixerNotifyWindow {
 public:
  explicit WindowsNotifyWindow(HWND hwnd) : hwnd_(hwnd) {}
  ~WindowsNotifyWindow() override {
    {
      VORAX::AutoLock lock(WindowMapLock());
      WindowMap().erase(hwnd_);
    }
    DestroyWindow(hwnd_);
  }
  void* handle() const override { return hwnd_; }
  void set_sink(MixerWindowSink* sink) override {
    VORAX::AutoLock lock(WindowMapLock());
    sink_ = sink;
  }
  LRESULT Proc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == MM_MIXM_CONTROL_CHANGE) {
      MixerWindowSink* sink;
      {
        VORAX::AutoLock lock(WindowMapLock());
        sink = sink_;
      }
      if (sink) sink->OnControlChange(static_cast<uint32_t>(lparam));
      return 0;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
  }

 private:
  HWND hwnd_;
  MixerWindowSink* sink_ = nullptr;
};

LRESULT CALLBACK ClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowsNotifyWindow* window = nullptr;
  {
    VORAX::AutoLock lock(WindowMapLock());
    auto it = WindowMap().find(hwnd);
    if (it != WindowMap().end()) window = it->second;
  }
  if (window) return window->Proc(message, wparam, lparam);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

bool RegisterClassOnce() {
  static const bool registered = [] {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &ClassProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

HResult Mm(MMRESULT r) { return r == MMSYSERR_NOERROR ? kS_OK : kE_FAIL; }

void FromControl(const MIXERCONTROLW& c, MixerControlInfo* info) {
  info->id = c.dwControlID;
  info->type = c.dwControlType;
  info->flags = c.fdwControl;
  info->minimum = c.Bounds.lMinimum;
  info->maximum = c.Bounds.lMaximum;
  info->items = c.cMultipleItems;
}

void FromLine(const MIXERLINEW& l, MixerLineInfo* info) {
  info->line_id = l.dwLineID;
  info->component_type = l.dwComponentType;
  info->channels = l.cChannels;
  info->connections = l.cConnections;
  info->controls = l.cControls;
  info->name = l.szName;
}

class WindowsMixer : public Mixer {
 public:
  explicit WindowsMixer(HMIXER mixer) : mixer_(mixer) {}
  ~WindowsMixer() override { mixerClose(mixer_); }

  HResult GetDestinationLine(uint32_t type, MixerLineInfo* info) override {
    MIXERLINEW line = {};
    line.cbStruct = sizeof line;
    line.dwComponentType = type;
    const HResult hr = Mm(mixerGetLineInfoW(Object(), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE));
    if (Succeeded(hr)) FromLine(line, info);
    destination_ = line.dwDestination;
    return hr;
  }
  HResult GetSourceLine(const MixerLineInfo&, uint32_t index, MixerLineInfo* info) override {
    MIXERLINEW line = {};
    line.cbStruct = sizeof line;
    line.dwDestination = destination_;
    line.dwSource = index;
    const HResult hr = Mm(mixerGetLineInfoW(Object(), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_SOURCE));
    if (Succeeded(hr)) FromLine(line, info);
    return hr;
  }
  HResult GetControlByType(uint32_t line_id, uint32_t type, MixerControlInfo* info) override {
    MIXERCONTROLW control = {};
    control.cbStruct = sizeof control;
    MIXERLINECONTROLSW controls = {};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line_id;
    controls.dwControlType = type;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof control;
    controls.pamxctrl = &control;
    const HResult hr =
        Mm(mixerGetLineControlsW(Object(), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE));
    if (Succeeded(hr)) FromControl(control, info);
    return hr;
  }
  HResult GetAllControls(const MixerLineInfo& line, std::vector<MixerControlInfo>* out) override {
    if (line.controls == 0) return kE_FAIL;
    std::vector<MIXERCONTROLW> list(line.controls);
    for (MIXERCONTROLW& c : list) c.cbStruct = sizeof c;
    MIXERLINECONTROLSW controls = {};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.line_id;
    controls.cControls = line.controls;
    controls.cbmxctrl = sizeof(MIXERCONTROLW);
    controls.pamxctrl = list.data();
    const HResult hr =
        Mm(mixerGetLineControlsW(Object(), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ALL));
    if (Failed(hr)) return hr;
    out->resize(list.size());
    for (size_t i = 0; i < list.size(); ++i) FromControl(list[i], &(*out)[i]);
    return kS_OK;
  }
  HResult GetValues(const MixerControlInfo& c, uint32_t channels, std::vector<int32_t>* values) override {
    values->assign(static_cast<size_t>(channels) * (c.items ? c.items : 1), 0);
    MIXERCONTROLDETAILS details = Details(c, channels, values->data(), sizeof(int32_t));
    return Mm(mixerGetControlDetailsW(Object(), &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE));
  }
  HResult SetValues(const MixerControlInfo& c, uint32_t channels, const std::vector<int32_t>& values) override {
    std::vector<int32_t> copy = values;
    copy.resize(static_cast<size_t>(channels) * (c.items ? c.items : 1), values.empty() ? 0 : values[0]);
    MIXERCONTROLDETAILS details = Details(c, channels, copy.data(), sizeof(int32_t));
    return Mm(mixerSetControlDetails(Object(), &details, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE));
  }
  HResult GetItemTexts(const MixerControlInfo& c, uint32_t channels, std::vector<std::wstring>* texts) override {
    std::vector<MIXERCONTROLDETAILS_LISTTEXTW> items(static_cast<size_t>(channels) * (c.items ? c.items : 1));
    MIXERCONTROLDETAILS details = Details(c, channels, items.data(), sizeof(MIXERCONTROLDETAILS_LISTTEXTW));
    const HResult hr =
        Mm(mixerGetControlDetailsW(Object(), &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_LISTTEXT));
    if (Failed(hr)) return hr;
    texts->clear();
    for (uint32_t i = 0; i < c.items; ++i) texts->push_back(items[i].szName);
    return kS_OK;
  }

 private:
  HMIXEROBJ Object() const { return reinterpret_cast<HMIXEROBJ>(mixer_); }
  static MIXERCONTROLDETAILS Details(const MixerControlInfo& c, uint32_t channels, void* data, DWORD item_size) {
    MIXERCONTROLDETAILS d = {};
    d.cbStruct = sizeof d;
    d.dwControlID = c.id;
    d.cChannels = channels;
    d.cMultipleItems = c.items;
    d.cbDetails = item_size;
    d.paDetails = data;
    return d;
  }
  HMIXER mixer_;
  DWORD destination_ = 0;
};

}  // namespace

int WindowsLevelDeviceLayer::MixerCount() { return static_cast<int>(mixerGetNumDevs()); }

HResult WindowsLevelDeviceLayer::GetMixerName(int index, std::wstring* name) {
  MIXERCAPSW caps = {};
  const HResult hr = Mm(mixerGetDevCapsW(static_cast<UINT_PTR>(index), &caps, sizeof caps));
  if (Succeeded(hr)) *name = caps.szPname;
  return hr;
}

HResult WindowsLevelDeviceLayer::OpenMixer(int index, MixerNotifyWindow* window, std::unique_ptr<Mixer>* mixer) {
  HMIXER handle = nullptr;
  const DWORD_PTR callback = window ? reinterpret_cast<DWORD_PTR>(window->handle()) : 0;
  const HResult hr = Mm(
      mixerOpen(&handle, static_cast<UINT>(index), callback, 0, MIXER_OBJECTF_MIXER | (window ? CALLBACK_WINDOW : 0)));
  if (Succeeded(hr)) mixer->reset(new WindowsMixer(handle));
  return hr;
}

HResult WindowsLevelDeviceLayer::CreateNotifyWindow(std::unique_ptr<MixerNotifyWindow>* window) {
  if (!RegisterClassOnce()) return kE_FAIL;
  HWND hwnd =
      CreateWindowExW(0, kClassName, L"TORMWND", 0, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return kE_FAIL;
  WindowsNotifyWindow* w = new WindowsNotifyWindow(hwnd);
  {
    VORAX::AutoLock lock(WindowMapLock());
    WindowMap()[hwnd] = w;
  }
  window->reset(w);
  return kS_OK;
}
