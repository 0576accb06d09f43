#include "volume/volume_controller.h"

#include <cmath>

#include "audio_lib_log.h"

namespace {

constexpr uint32_t kFull = 65535;

}  // namespace

std::unique_ptr<VolumeController> VolumeController::Init(LevelDeviceLayer* layer, const Guid* device) {
  std::unique_ptr<VolumeController> c(new VolumeController(layer));
  HResult made = kE_FAIL;
  c->backend_.reset(new VolumeBackend(layer, &made, device));
  if (made != kS_OK) {
    c->backend_.reset();
    return c;
  }
  if (c->backend_->vista()) c->backend_->vista()->RegisterController(c.get());
  if (c->backend_->mixer()) c->backend_->mixer()->SetUserContext(reinterpret_cast<intptr_t>(c.get()));
  uint32_t level = 0;
  if (Failed(c->GetLevel(&level))) return c;
  if (level >= 52429) {
    AudioLibLog("Get mic more than 80%%, set MIC volume to 80 ");
    (void)c->SetLevel(52428);
  } else if (level <= 39319) {
    AudioLibLog("Get mic less 60%%, set MIC volume to 60\n");
    (void)c->SetLevel(39321);
  }
  return c;
}

VolumeController::~VolumeController() {
  if (backend_ && backend_->vista()) backend_->vista()->RegisterController(nullptr);
  backend_.reset();
}

HResult VolumeController::GetLevel(uint32_t* level) { return backend_ ? backend_->GetMicLevel(level) : kE_FAIL; }

HResult VolumeController::SetLevel(uint32_t level) { return backend_ ? backend_->SetMicLevel(level) : kE_FAIL; }

CVistaAudio* VolumeController::BoostEndpoint() {
  CVistaAudio* v = backend_ ? backend_->vista() : nullptr;
  return v && v->has_boost() ? v : nullptr;
}

float VolumeController::GetBoostDb() {
  CVistaAudio* v = BoostEndpoint();
  float db = -1.0f;
  if (!v || Failed(v->GetBoost(&db))) return -1.0f;
  return db;
}

int VolumeController::IncreaseMicVolume(float energy) {
  if (!backend_) return 0;
  if (energy <= 200.0f || increase_hold > 0) return 1;
  uint32_t level = 0;
  if (Failed(GetLevel(&level))) level = 0;
  if (level == kFull) return 1;
  uint32_t large = 6550, small = 1965;
  if (level <= 32766) {
    large = 13100;
    small = 6550;
  } else if (level > 49150) {
    large = 3275;
    small = 1310;
  }
  const uint32_t step = decrease_count > 0 ? small : large;
  const uint32_t next = level + step > kFull ? kFull : level + step;
  (void)SetLevel(next);

  bool boosted = false;
  if (CVistaAudio* v = BoostEndpoint()) {
    float db = 0.0f;
    if (Succeeded(v->GetBoost(&db)) && std::fabs(db - v->boost_min()) < 1e-6f &&
        Succeeded(v->SetBoost(db + v->boost_step()))) {
      boosted = true;
      increase_hold = 30;
    }
  }
  if (!boosted && level < next) (void)SetLevel(next);

  ++increase_count;
  quiet_requests = 0;
  if (increase_hold == 0) increase_hold = next < 19660 ? 100 : (decrease_count == 0 ? 250 : 500);
  AudioLibLog("Mic analog volume increased to %d \n", static_cast<int>(next / 655));
  return next > 65499 ? 2 : 1;
}

bool VolumeController::DecreaseStep(float energy) { return CVistaAudio::DecreaseMicBoostVol(this, energy) != 0; }

int CVistaAudio::DecreaseMicBoostVol(VolumeController* c, float energy) {
  if (!c->backend_) return 0;
  uint32_t level = 0;
  if (Failed(c->GetLevel(&level))) {
    c->clip_count = 0;
    return 0;
  }
  bool low_step = false;
  if (level <= 13107) {
    if (++c->quiet_requests < 5) {
      c->clip_count = 0;
      return 0;
    }
    c->quiet_requests = 0;
    low_step = true;
  }
  if (c->decrease_hold > 0) return 0;
  if (level >= 52428 && !c->high_level) {
    ++c->decrease_count;
    c->decrease_hold = 50;
    c->high_level = true;
    return 0;
  }
  if (level <= 19660 && energy < 8000.0f) return 0;
  c->decrease_hold = level < 19661 ? 75 : 50;

  int64_t target;
  const int64_t l = level;
  if (l < 19661) {
    target = l >= 13108 ? l - 3276 : l >= 6554 ? l - 1966 : l >= 3277 ? l - 1310 : l < 656 ? 0 : l - 655;
    if (target < 6553) low_step = true;
    if (target < 655) target = 655;
  } else {
    target = energy >= 25000.0f ? l - 9830 : l - 6553;
    if (target < 19660) target = 18350;
  }
  if (target >= l) return 0;

  bool boost_step = false;
  CVistaAudio* v = c->backend_->vista();
  if (v) {
    AudioLibLog("CVistaAudio::DecreaseMicBoostVol() enter \n");
    float boost = 0.0f;
    if (v->has_boost() && Succeeded(v->GetBoost(&boost))) {
      AudioLibLog("CVistaAudio::DecreaseMicBoostVol() fMicBoostVol = %f \n", boost);
      const float lo = v->boost_min(), hi = v->boost_max(), step = v->boost_step();
      const float floor_db = c->backend_->boost_only() || low_step ? lo + step : lo + (hi - lo) / 2.0f;
      if (boost > floor_db && step > 0.0f) {
        float t = (std::ceil((boost - lo) / step) - 1.0f) * step + lo;
        if (t < floor_db) t += step;
        if (std::fabs(t - boost) >= 1e-6f) {
          AudioLibLog("CVistaAudio::DecreaseMicBoostVol() SetLevelUniform = %f \n", t);
          if (Succeeded(v->SetBoost(t))) {
            c->decrease_hold = 55;
            boost_step = true;
          }
        }
      }
    }
  }
  if (!boost_step) (void)c->SetLevel(static_cast<uint32_t>(target));

  ++c->decrease_count;
  c->clip_count = 0;
  c->increase_hold = 750;
  if (boost_step && low_step) {
    c->increase_hold = 0;
    c->decrease_count = 0;
  }
  AudioLibLog("mic volume decreased from %d, to %d\n", static_cast<int>(l / 655), static_cast<int>(target / 655));
  return 1;
}

std::unique_ptr<MicLevelControl> CreateVolumeController(const Guid& device) {
  std::unique_ptr<VolumeController> c = VolumeController::Init(ActiveLevelDeviceLayer(), &device);
  return std::unique_ptr<MicLevelControl>(c.release());
}
