// Control-plane results mapped to ErrCode.
#pragma once

namespace kiv_core {

// Kept: 0, 1, 2, 30-35, 70, 301; 36 becomes 34; anything else (framework failures
// included) becomes 302.
int MapCpError(int result);

}  // namespace kiv_core
