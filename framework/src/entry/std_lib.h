// The library's IStdLibImpl (export FwGetQelStdLibImpl): the allocator of every FwString
// and FwVector block on both sides.
#pragma once

#include "avcore/entry.h"

namespace tessarine {

avcore::IStdLibImpl* FrameworkStdLib();

}  // namespace tessarine
