#include "residual_crest.h"

#include <cstring>

void crest_detector_init(CrestDetector* c) { std::memset(c, 0, sizeof(*c)); }

int residual_crest_detect(const int16_t*, CrestDetector*) { return 0; }
