#include "voice_publisher.h"

#include <random>

#include "avcore/ids.h"
#include "framework_log.h"
#include "voice_stage_log.h"

namespace tessarine {
namespace {

// A plug-in block larger than this is not audio of one block's worth.
constexpr int32_t kMaxPluginBlockBytes = 1 << 20;

uint32_t NewSsrc() {
  static std::mutex mutex;
  static std::mt19937 rng{std::random_device{}()};
  std::lock_guard<std::mutex> lock(mutex);
  uint32_t ssrc = 0;
  while (ssrc == 0) ssrc = rng();
  return ssrc;
}

}  // namespace

VoicePublisher::VoicePublisher(std::shared_ptr<media::IMediaTransport> transport, std::string id, uint32_t ssrc)
    : transport_(std::move(transport)),
      id_(std::move(id)),
      sender_(ssrc, [this](const RtpHeader& h, const uint8_t* p, size_t n) { SendRtp(h, p, n); }) {}

std::unique_ptr<VoicePublisher> VoicePublisher::Create(std::shared_ptr<media::IMediaTransport> transport,
                                                       const std::string& id, IUnknown* source) {
  if (!transport || source == nullptr) return nullptr;
  std::unique_ptr<VoicePublisher> publisher(new VoicePublisher(transport, id, NewSsrc()));
  if (!transport->Publish(media::kMediaAudio, id, publisher->sender_.ssrc(), {})) {
    FW_LOG("voice: the transport refused to publish audio \"%s\"", id.c_str());
    return nullptr;
  }
  if (!publisher->Attach(source)) {
    FW_LOG("voice: audio source \"%s\" is neither an audio device nor an encoded source", id.c_str());
    transport->Unpublish(media::kMediaAudio, id);
    return nullptr;
  }
  return publisher;
}

bool VoicePublisher::Attach(IUnknown* source) {
  IAudioSourcePort* port = nullptr;
  if (SUCCEEDED(source->QueryInterface(IID_IAudioSourcePort, reinterpret_cast<void**>(&port))) && port != nullptr) {
    port_ = ComRef<IAudioSourcePort>(port);
    return SUCCEEDED(port_->SetSendSink(this));
  }
  // The SDK's source takes no reference and answers only its own interface id.
  avcore::IAudioEncSource* encoded = nullptr;
  if (SUCCEEDED(source->QueryInterface(avcore::IID_IAudioEncSource, reinterpret_cast<void**>(&encoded))) &&
      encoded != nullptr) {
    encoded_ = encoded;
    return SUCCEEDED(encoded_->AddDataSink(this, nullptr));
  }
  return false;
}

VoicePublisher::~VoicePublisher() {
  if (port_) port_->SetSendSink(nullptr);
  if (encoded_) encoded_->RemoveDataSink(this);
  transport_->Unpublish(media::kMediaAudio, id_);
}

int64_t VoicePublisher::packets_sent() const {
  std::lock_guard<std::mutex> lock(const_cast<std::mutex&>(mutex_));
  return sender_.packets_sent();
}

void VoicePublisher::OnCapturedPcm(const int16_t* pcm, int32_t samples) {
  if (pcm == nullptr || samples <= 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  sender_.OnPcm(pcm, static_cast<size_t>(samples));
}

void VoicePublisher::OnPluginBlock(const void* data) {
  const auto* block = static_cast<const avcore::PluginAudioBlock*>(data);
  if (block == nullptr || block->data == nullptr || block->length <= 0 || block->length > kMaxPluginBlockBytes) {
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (block->codec == avcore::kPluginAudioOpus) {
    sender_.OnOpusPacket(static_cast<const uint8_t*>(block->data), static_cast<size_t>(block->length));
    return;
  }
  if (block->codec != avcore::kPluginAudioPcm || block->channels < 1 || block->channels > 2) return;
  const size_t frames = static_cast<size_t>(block->length) / (2u * static_cast<size_t>(block->channels));
  converted_.clear();
  if (!converter_.Convert(static_cast<const int16_t*>(block->data), frames, block->sample_rate, block->channels,
                          &converted_)) {
    return;
  }
  sender_.OnPcm(converted_.data(), converted_.size());
}

int32_t VoicePublisher::OnAudioData(const void* data, int32_t length, void*) {
  if (data == nullptr || length <= 0) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  return sender_.OnOpusPacket(static_cast<const uint8_t*>(data), static_cast<size_t>(length)) ? length : 0;
}

void VoicePublisher::SendRtp(const RtpHeader& header, const uint8_t* payload, size_t bytes) {
  NoteVoiceStage(VoiceStage::kSent, header.sequence);
  if (!transport_->SendRtp(header.ssrc, header.payload_type, header.marker, header.timestamp, payload, bytes)) {
    // Dropped before the relay accepted the ticket, or the link is down: the receiver
    // conceals the gap.
  }
}

}  // namespace tessarine
