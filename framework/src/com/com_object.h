// Reference counting and QueryInterface for the library's components.
#pragma once

#include "avcore/platform.h"
#include "common/win/com_object.h"
#include "common/win/com_ref.h"
#include "live_objects.h"

namespace tessarine {

using kiv_common::ComRef;

// A component implementing interface `Itf` and any further interfaces `More` (each
// derived from IUnknown), answering IUnknown's id and one id per interface. Starts with one
// reference; the last Release deletes it. Counted among the library's live objects.
template <typename Itf, typename... More>
class ComObject : public kiv_common::ComObject<kiv_common::DeleteOnLastRelease, Itf, More...>, private LiveObject {
 public:
  explicit ComObject(const GUID& iid, const kiv_common::InterfaceId<More>&... more)
      : kiv_common::ComObject<kiv_common::DeleteOnLastRelease, Itf, More...>(iid, more...) {}
};

}  // namespace tessarine
