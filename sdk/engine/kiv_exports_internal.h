// The library's side of the exported engine pointer.
#pragma once

namespace kiv {

class KivEngineImpl;

// The engine if one exists; never creates it.
KivEngineImpl* CurrentEngine();

}  // namespace kiv
