// The framework library of the native stress build, registered in-process under the stand-in
// framework's file name: its entry table and allocator, and a root with just what the
// engine's Init takes from the stand-in (log and config centres, session manager, the
// device manager, a screen viewer manager, a camera, and idle copies of the stress run's device,
// renders, connection and network, which the stress framework replaces after the Init).
#include <windows.h>

#include <cstdlib>
#include <memory>

#include "avcore/config_center.h"
#include "avcore/dev_manager.h"
#include "avcore/entry.h"
#include "avcore/ids.h"
#include "avcore/log.h"
#include "avcore/session_manager.h"
#include "stress/stress_framework.h"

namespace kiv_stress {
namespace {

class LogManager : public avcore::ILogManager {
 public:
  int32_t AVCORE_CALL GetLevel(avcore::LoggerHandle) override { return avcore::kLogLevelOff; }
  avcore::ILogRecord* AVCORE_CALL BeginRecord(avcore::LoggerHandle, int32_t, const char*, int32_t) override {
    return nullptr;
  }
  HRESULT AVCORE_CALL SetLevel(avcore::LoggerHandle, int32_t) override { return S_OK; }
};

class LogCenter : public Component<avcore::ILogCenter> {
 public:
  avcore::ILogManager* AVCORE_CALL GetLogManager() override { return &m_manager; }
  avcore::LoggerHandle AVCORE_CALL CreateLogger(const char*, int32_t, int32_t, int32_t) override { return 0; }
  HRESULT AVCORE_CALL ReleaseLogger(avcore::LoggerHandle) override { return S_OK; }

 private:
  LogManager m_manager;
};

class ConfigCenter : public Component<avcore::IConfigCenter> {
 public:
  HRESULT AVCORE_CALL SetConfig(const char*, const char*) override { return S_OK; }
  HRESULT AVCORE_CALL SetConfigEx(const char*, const avcore::ConfigScope*, int32_t, const char*) override {
    return S_OK;
  }
  HRESULT AVCORE_CALL GetConfig(const char*, char*, int32_t) override { return E_FAIL; }
};

class SessionManager : public Component<avcore::ISessionManager> {
 public:
  HRESULT AVCORE_CALL Init() override { return S_OK; }
  HRESULT AVCORE_CALL Uninit() override { return S_OK; }
  BOOL AVCORE_CALL IsInited() override { return TRUE; }
};

class DevManager : public Component<avcore::IAVDevManager> {
 public:
  HRESULT AVCORE_CALL SetupRtspVideoPlugins(int32_t) override { return S_OK; }
  int32_t AVCORE_CALL AddVideoPlugin(const char*, const char*, int32_t) override { return -1; }
  HRESULT AVCORE_CALL RemoveVideoPlugin(int32_t) override { return S_OK; }
  HRESULT AVCORE_CALL AddAudioPlugin(avcore::IAVPlugin*, const wchar_t*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemoveAudioPlugin(avcore::IAVPlugin*) override { return S_OK; }
  int32_t AVCORE_CALL GetAudioCaptureDeviceCount() override { return 1; }
  HRESULT AVCORE_CALL GetAudioCaptureDeviceInfo(int32_t index, wchar_t* name, int32_t capacity) override {
    if (index != 0 || !name || capacity <= 0) return E_INVALIDARG;
    lstrcpynW(name, L"stress microphone", capacity);
    return S_OK;
  }
};

class AvEnv : public Component<avcore::IAVEnv> {
 public:
  explicit AvEnv(DevManager* devices) : m_devices(devices) {}
  HRESULT AVCORE_CALL QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != avcore::IID_IAVDevManager) return E_NOINTERFACE;
    m_devices->AddRef();
    *out = static_cast<avcore::IAVDevManager*>(m_devices);
    return S_OK;
  }

 private:
  DevManager* m_devices;
};

// No screen is shared in the stress run: a viewer is never made.
class VncRenders : public Component<avcore::IVncRenderManager> {
 public:
  HRESULT AVCORE_CALL AddRender2(HWND, const avcore::EventRecord*, avcore::RenderId*,
                                 const avcore::VncViewConfig*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL RemoveRender(avcore::RenderId) override { return E_INVALIDARG; }
  HRESULT AVCORE_CALL SetViewConfig(avcore::RenderId, const avcore::VncViewConfig*) override { return E_INVALIDARG; }
  HRESULT AVCORE_CALL GetRenderStats(avcore::RenderId, avcore::RenderStats*) override { return E_INVALIDARG; }
  HRESULT AVCORE_CALL SetRawDataCallback(avcore::RenderId, void*, avcore::RenderFrameCallback,
                                         avcore::RenderValueCallback) override {
    return E_INVALIDARG;
  }
};

struct StandIn;

class Root : public Component<avcore::IBaseCore> {
 public:
  explicit Root(StandIn* parts) : m_parts(parts) {}
  HRESULT AVCORE_CALL QueryInterface(REFIID iid, void** out) override;
  HRESULT AVCORE_CALL CreateComponent(REFCLSID cls, REFIID iid, IUnknown* outer, void** out) override;

 private:
  StandIn* m_parts;
};

struct StandIn {
  LogCenter log;
  ConfigCenter config;
  SessionManager sessions;
  DevManager devices;
  AvEnv env{&devices};
  VncRenders viewers;
  FakeAudioDevice audio;
  FakeRenders renders{"stand-in renders"};
  FakeRenders previews{"stand-in previews"};
  FakeCamera camera{&previews};
  FakeNet net;
  FakeOnline online;
  FakeTMsg tmsg;
  FakeConnection connection{&online, &tmsg};
  Root root{this};
};

template <class Itf>
HRESULT Hand(Itf* object, void** out) {
  object->AddRef();
  *out = object;
  return S_OK;
}

HRESULT Root::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == avcore::IID_ILogCenter) return Hand<avcore::ILogCenter>(&m_parts->log, out);
  if (iid == avcore::IID_IConfigCenter) return Hand<avcore::IConfigCenter>(&m_parts->config, out);
  if (iid == avcore::IID_ISessionManager) return Hand<avcore::ISessionManager>(&m_parts->sessions, out);
  return E_NOINTERFACE;
}

HRESULT Root::CreateComponent(REFCLSID cls, REFIID, IUnknown*, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (cls == avcore::CLSID_AudioDevice) return Hand<avcore::IAudioDevice>(&m_parts->audio, out);
  if (cls == avcore::CLSID_VideoRenderManager) return Hand<avcore::IVideoRenderManager>(&m_parts->renders, out);
  if (cls == avcore::CLSID_KivConnection) return Hand<avcore::IKivConnection>(&m_parts->connection, out);
  if (cls == avcore::CLSID_AvNet) return Hand<avcore::IAvNet>(&m_parts->net, out);
  if (cls == avcore::CLSID_VncRenderManager) return Hand<avcore::IVncRenderManager>(&m_parts->viewers, out);
  if (cls == avcore::CLSID_AVEnv) return Hand<avcore::IAVEnv>(&m_parts->env, out);
  if (cls == avcore::CLSID_VideoDevice) return Hand<avcore::IVideoDevice>(&m_parts->camera, out);
  return REGDB_E_CLASSNOTREG;
}

std::unique_ptr<StandIn> g_standIn;

HRESULT AVCORE_CALL Init(int, const wchar_t*, const wchar_t*, intptr_t, intptr_t) {
  g_standIn = std::make_unique<StandIn>();
  return S_OK;
}

HRESULT AVCORE_CALL Uninit() {
  g_standIn.reset();
  return S_OK;
}

HRESULT AVCORE_CALL GetObject(REFCLSID cls, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (cls != avcore::CLSID_BaseCore || !g_standIn) return REGDB_E_CLASSNOTREG;
  return Hand<avcore::IBaseCore>(&g_standIn->root, out);
}

HRESULT EntryPoint(avcore::PMDllFunctionTable* table) {
  if (!table || table->size < sizeof(*table)) return E_INVALIDARG;
  table->Init = &Init;
  table->Uninit = &Uninit;
  table->GetObject = &GetObject;
  return S_OK;
}

class StdLib : public avcore::IStdLibImpl {
 public:
  void* AVCORE_CALL Malloc(size_t size) override { return malloc(size); }
  void AVCORE_CALL Free(void* block) override { free(block); }
  void* AVCORE_CALL MemCpy(void* destination, const void* source, size_t size) override {
    return memcpy(destination, source, size);
  }
  void* AVCORE_CALL MemMove(void* destination, const void* source, size_t size) override {
    return memmove(destination, source, size);
  }
  size_t AVCORE_CALL StrLen(const char* text) override { return strlen(text); }
};

avcore::IStdLibImpl* StdLibImpl() {
  static StdLib lib;
  return &lib;
}

const NativeExport kExports[] = {
    {avcore::kEntryPointName, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&EntryPoint))},
    {avcore::kStdLibExportName, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&StdLibImpl))},
    {nullptr, nullptr},
};

const bool g_registered = (NativeRegisterLibrary(avcore::kFrameworkFileName, kExports), true);

}  // namespace
}  // namespace kiv_stress
