// Native stand-in for the endpoint notification interface of <mmdeviceapi.h>.
#pragma once
#include <windows.h>

enum EDataFlow { eRender, eCapture, eAll };
enum ERole { eConsole, eMultimedia, eCommunications };
struct PROPERTYKEY {
  GUID fmtid;
  DWORD pid;
};
struct IMMNotificationClient : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR deviceId, DWORD newState) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR deviceId) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR deviceId) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR deviceId) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR deviceId, const PROPERTYKEY key) = 0;
};
inline constexpr GUID IID_IMMNotificationClient = {
    0x7991EEC9, 0x7E89, 0x4D85, {0x83, 0x90, 0x6C, 0x70, 0x3C, 0xEC, 0x60, 0xC0}};
template <>
struct NativeUuidOf<IMMNotificationClient> {
  static constexpr const GUID& value = IID_IMMNotificationClient;
};
