// Which capture endpoint monitors what the computer plays, where the system offers no
// loopback capture: the monitor ("Monitor of <name>") of the default render endpoint;
// when that one has none (a sound server's entry that follows its default output), the
// monitor of the endpoint the meeting plays on; else the only monitor there is. Never
// an arbitrary one of several. Pure logic.
#pragma once

#include <string>
#include <vector>

namespace tessarine {

// The index into `capture_names`, or -1 when no monitor qualifies.
int ChooseMonitor(const std::vector<std::wstring>& capture_names, const std::wstring& default_render,
                  const std::wstring& playing_render);

}  // namespace tessarine
