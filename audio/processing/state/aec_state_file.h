// The step of a save that puts its finished temporary file in place of "AECParams.bin".
// Tests replace it to hold a save at that point while another one runs, or to stop it there.
#pragma once

#include <string>

using AecStateReplaceFile = bool (*)(const std::wstring& from, const std::wstring& to);

// Sets the replace step (nullptr: the platform's); returns the one set before.
AecStateReplaceFile aec_state_set_replace_file(AecStateReplaceFile replace);
