#include "h264_parameter_sets.h"

#include "protocol/media/h264_packetizer.h"

namespace tessarine::media {

namespace {
constexpr uint8_t kNalPps = 8;
}

H264ParameterSets FindParameterSets(const uint8_t* annexb, size_t size) {
  H264ParameterSets sets;
  for (const auto& nal : kiv_media::SplitAnnexB(annexb, size)) {
    const uint8_t type = nal.data[0] & 0x1F;
    if (type != kiv_media::kNalSps && type != kNalPps) continue;
    (type == kiv_media::kNalSps ? sets.sps : sets.pps) = true;
    sets.annexb.insert(sets.annexb.end(), {0, 0, 0, 1});
    sets.annexb.insert(sets.annexb.end(), nal.data, nal.data + nal.size);
  }
  return sets;
}

}  // namespace tessarine::media
