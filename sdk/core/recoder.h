// Screen and camera recording.
#pragma once

#include <string>

namespace kiv_core {

class Recoder {
public:
    Recoder() = default;
    Recoder(const Recoder&) = delete;
    Recoder& operator=(const Recoder&) = delete;

    int StartScreenRecord(const std::string& filePath, int left, int top, int right, int bottom,
                          bool recordAudio);
    int Stop();
};

}  // namespace kiv_core
