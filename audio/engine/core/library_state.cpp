#include "core/library_state.h"

std::wstring LibraryState::data_folder() const {
  VORAX::AutoLock lock(mutex_);
  return data_folder_;
}

void LibraryState::set_data_folder(const std::wstring& folder) {
  VORAX::AutoLock lock(mutex_);
  data_folder_ = folder.substr(0, 259);
}

std::string LibraryState::pc_model() const {
  VORAX::AutoLock lock(mutex_);
  return pc_model_;
}

void LibraryState::set_pc_model(const std::string& model) {
  VORAX::AutoLock lock(mutex_);
  pc_model_ = model.substr(0, 259);
}

std::string LibraryState::mic_array_key() const {
  VORAX::AutoLock lock(mutex_);
  return mic_array_key_;
}

void LibraryState::set_mic_array_key(const std::string& key) {
  VORAX::AutoLock lock(mutex_);
  mic_array_key_ = key;
}

void LibraryState::Reset() {
  capture_callback = nullptr;
  render_callback = nullptr;
  registry_view = 0;
  headset_enhance = false;
  mic_volume_control = true;
  noise_suppression = true;
  VORAX::AutoLock lock(mutex_);
  data_folder_ = L".\\";
  pc_model_.clear();
  mic_array_key_.clear();
}

LibraryState& Library() {
  static LibraryState state;
  return state;
}
