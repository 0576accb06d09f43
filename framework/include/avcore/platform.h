// Platform base of the media framework's interfaces: Windows types, COM's IUnknown,
// the calling convention of every interface operation and callback, and the check
// for records whose layout is fixed for the 32-bit build.
#pragma once

#include <windows.h>
// These two need the types of <windows.h>.
#include <mmreg.h>
#include <unknwn.h>

#include <cstddef>
#include <cstdint>

#include "protocol/wire/media_type.h"

// Every virtual operation of a framework interface and every callback handed to the
// framework uses the COM calling convention (__stdcall on i686, the only one on x64).
#define AVCORE_CALL STDMETHODCALLTYPE
#define AVCORE_CALLBACK STDMETHODCALLTYPE

// Records below are laid out for the 32-bit build; pointer-sized fields grow on x64,
// so their sizes are checked where pointers are 4 bytes.
#define AVCORE_ASSERT_SIZE32(type, bytes) static_assert(sizeof(void*) != 4 || sizeof(type) == (bytes), #type " layout")

static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX must be the packed 18-byte block");
static_assert(sizeof(HRESULT) == 4, "HRESULT is 32-bit");

namespace avcore {

// A render, viewer or host event callback of the framework. Five 32-bit-sized
// arguments, the last always the context of the record it was registered with.
// Which argument carries the event code depends on the component:
//   IVideoRenderManager renders: the second (arg2);
//   IVncRenderManager viewers:   the fourth (arg4);
//   IVncHost:                    the second (arg2).
// The return value is ignored by the framework; callers return 1.
typedef int(AVCORE_CALLBACK* AvEventProc)(uintptr_t arg1, uintptr_t arg2, uintptr_t arg3, uintptr_t arg4,
                                          void* context);

// The four-word callback record handed to AddRender, AddRender2 and IVncHost::Initialize:
// {5, function, 0, context}. `version` must be 5 (kEventRecordVersion); `reserved` 0.
struct EventRecord {
  int32_t version;
  AvEventProc proc;
  int32_t reserved;
  void* context;
};
constexpr int32_t kEventRecordVersion = 5;
AVCORE_ASSERT_SIZE32(EventRecord, 16);

// Handle of a render (video or screen-share viewer); 0 is never a valid render.
typedef uint32_t RenderId;

// Media types as carried by sources, receivers and media announcements.
using kiv_proto::kMediaAudio;
using kiv_proto::kMediaBoard;
using kiv_proto::kMediaScreen;
using kiv_proto::kMediaVideo;
using kiv_proto::MediaType;

}  // namespace avcore
