#include "stream/endpoint_opener.h"

#include "audio_lib_log.h"

HResult EndpointOpener::Activate() {
  client_.reset();
  const HResult hr = endpoint_->Activate(&client_);
  if (Failed(hr)) {
    AudioLibLog("Unexpected m_spDevice->Activate()| Failed hr=0x%x\n", HrBits(hr));
    client_.reset();
  }
  return hr;
}

HResult EndpointOpener::Initialize(bool exclusive, int64_t duration, bool periodic, const WaveFormat& format,
                                   int rate) {
  HResult hr = client_->Initialize(exclusive, duration, periodic ? duration : 0, format);
  if (Succeeded(hr)) return hr;
  if (messages_.first_failure) AudioLibLog(messages_.first_failure, HrBits(hr));
  if (hr != kAUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED) {
    if (!messages_.first_failure) AudioLibLog(messages_.final_failure, HrBits(hr));
    return hr;
  }
  if (messages_.not_aligned) AudioLibLog(messages_.not_aligned, HrBits(hr));
  uint32_t frames = 0;
  hr = client_->GetBufferSize(&frames);
  const int64_t aligned = rate > 0 ? static_cast<int64_t>(10000000.0 * frames / static_cast<double>(rate) + 0.5) : 0;
  client_.reset();
  if (Succeeded(hr)) hr = endpoint_->Activate(&client_);
  if (Succeeded(hr)) hr = client_->Initialize(exclusive, aligned, periodic ? aligned : 0, format);
  if (Failed(hr)) AudioLibLog(messages_.final_failure, HrBits(hr));
  return hr;
}
