// Reproducible inputs of the echo bench: speech-like far and near ends, a room impulse
// response, noise, and speech recorded with espeak-ng at run time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Syllables of voiced sound (gliding pitch, two formants) with fricative bursts and
// pauses; active-speech RMS at level_dbfs. pitch_hz sets the speaker's mean pitch.
std::vector<float> SyntheticSpeech(size_t samples, float level_dbfs, float pitch_hz, uint32_t seed);

// Speech of espeak-ng (voice, text), resampled to 48 kHz by sox, repeated to `samples`
// and scaled to active-speech RMS at level_dbfs. False (with a reason) when a tool fails.
bool EspeakSpeech(const std::string& voice, const std::string& text, size_t samples, float level_dbfs,
                  std::vector<float>* out, std::string* reason);
// "espeak-ng <version>" or empty when it cannot be run.
std::string EspeakVersion();

// Direct path after delay_samples, then a decaying diffuse tail (RT60 rt60_s) of
// tail_samples; scaled so that the response's energy is gain_db.
std::vector<float> RoomImpulseResponse(int delay_samples, int tail_samples, float rt60_s, float gain_db, uint32_t seed);

// Direct path after delay_samples, then an exponentially decaying white diffuse tail
// (RT60 rt60_s) of tail_samples whose energy is drr_db below the direct path's; the whole
// response scaled to energy gain_db.
std::vector<float> DiffuseRoomResponse(int delay_samples, int tail_samples, float rt60_s, float drr_db, float gain_db,
                                       uint32_t seed);

// y = x * h (same length as x).
std::vector<float> Convolve(const std::vector<float>& x, const std::vector<float>& h);

// Softly coloured stationary noise at rms_dbfs.
std::vector<float> Noise(size_t samples, float rms_dbfs, uint32_t seed);
// White noise at rms_dbfs.
std::vector<float> WhiteNoise(size_t samples, float rms_dbfs, uint32_t seed);

std::vector<int16_t> ToPcm16(const std::vector<float>& x);
