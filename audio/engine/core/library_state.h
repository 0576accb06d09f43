// Process-wide settings of the library: callbacks, the data folder, the PC model and the
// switches the exports set.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "quietwell_api.h"
#include "vorax_mutex.h"

class LibraryState {
 public:
  std::atomic<RealAudioCaptureCallback> capture_callback{nullptr};
  std::atomic<RealAudioRenderCallback> render_callback{nullptr};
  std::atomic<uint32_t> registry_view{0};
  std::atomic<bool> headset_enhance{false};
  std::atomic<bool> mic_volume_control{true};
  std::atomic<bool> noise_suppression{true};

  std::wstring data_folder() const;
  void set_data_folder(const std::wstring& folder);
  std::string pc_model() const;
  void set_pc_model(const std::string& model);
  std::string mic_array_key() const;
  void set_mic_array_key(const std::string& key);

  // Back to the values at load (tests).
  void Reset();

 private:
  mutable VORAX::Mutex mutex_;
  std::wstring data_folder_ = L".\\";
  std::string pc_model_;
  std::string mic_array_key_;
};

LibraryState& Library();
