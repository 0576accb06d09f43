#include "core/recoder.h"

#include "kiv_error.h"

namespace kiv_core {

// Recording needs the framework's screen recorder, which is not bound yet.

int Recoder::StartScreenRecord(const std::string&, int, int, int, int, bool) {
    return ERR_INVALID_STATE;
}

int Recoder::Stop() { return ERR_INVALID_STATE; }

}  // namespace kiv_core
