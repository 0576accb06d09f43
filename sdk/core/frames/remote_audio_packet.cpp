#include "core/frames/remote_audio_packet.h"

namespace kiv_core {

namespace {

constexpr int kSampleRates[4] = {8000, 16000, 44100, 48000};

uint32_t Word(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

uint32_t RemoteAudioTimestamp(const uint8_t* header) { return Word(header + 2) & 0x07FFFFFFu; }

RemoteAudioPacketError ReadRemoteAudioHeader(const uint8_t* data, int32_t length,
                                             RemoteAudioHeader* header) {
    if (!data || length <= kRemoteAudioHeaderBytes) return RemoteAudioPacketError::kTooShort;
    const uint32_t word = Word(data + 2);
    header->codec = data[0] & 0x0F;
    header->sampleRate = kSampleRates[(data[0] >> 6) & 0x03];
    header->channels = (data[1] & 0x01) ? 2 : 1;
    header->timestampMs = word & 0x07FFFFFFu;
    header->frameCount = static_cast<int>((word >> 27) & 0x03);
    header->extensionBytes = static_cast<int>((word >> 29) & 0x07);
    if (header->frameCount == 0) return RemoteAudioPacketError::kNoFrames;
    if (kRemoteAudioHeaderBytes + header->extensionBytes > length)
        return RemoteAudioPacketError::kExtensionOverrun;
    return RemoteAudioPacketError::kNone;
}

RemoteAudioFrames SplitRemoteAudioFrames(const RemoteAudioHeader& header, int32_t packetLength) {
    RemoteAudioFrames frames;
    frames.first = kRemoteAudioHeaderBytes + header.extensionBytes;
    if (header.frameCount <= 0 || packetLength < frames.first) return frames;
    frames.count = header.frameCount;
    frames.length = (packetLength - frames.first) / header.frameCount;
    return frames;
}

}  // namespace kiv_core
