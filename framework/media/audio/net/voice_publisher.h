// One published voice source: takes the audio of an audio device of this library (PCM or
// plug-in blocks) or an SDK encoded-audio source (Opus packets) and sends it as Opus RTP
// on the media transport under (1, id). Detaches from its source before it goes away.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio_source_port.h"
#include "avcore/avcore.h"
#include "com_object.h"
#include "media_transport.h"
#include "voice_pcm_converter.h"
#include "voice_stream_sender.h"

namespace tessarine {

class VoicePublisher final : private IAudioSendSink, private avcore::IAudioDataSink {
 public:
  // Null when `source` is neither kind or the transport refuses the publication.
  static std::unique_ptr<VoicePublisher> Create(std::shared_ptr<media::IMediaTransport> transport,
                                                const std::string& id, IUnknown* source);
  ~VoicePublisher();

  [[nodiscard]] int64_t packets_sent() const;

 private:
  VoicePublisher(std::shared_ptr<media::IMediaTransport> transport, std::string id, uint32_t ssrc);
  bool Attach(IUnknown* source);

  // IAudioSendSink (device threads).
  void OnCapturedPcm(const int16_t* pcm, int32_t samples) override;
  void OnPluginBlock(const void* block) override;
  // avcore::IAudioDataSink (the encoded source's thread).
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void* context) override;

  void SendRtp(const RtpHeader& header, const uint8_t* payload, size_t bytes);

  std::shared_ptr<media::IMediaTransport> transport_;
  std::string id_;
  ComRef<IAudioSourcePort> port_;               // a device of this library
  avcore::IAudioEncSource* encoded_ = nullptr;  // an SDK source (not counted)
  std::mutex mutex_;                            // the sender and converter
  VoiceStreamSender sender_;
  VoicePcmConverter converter_;
  std::vector<int16_t> converted_;
};

}  // namespace tessarine
