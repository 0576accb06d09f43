// Microsecond clock.
#pragma once

#include <cstdint>

namespace ZORVANTE {

// Microseconds from the performance counter; the millisecond tick count x 1000 without one.
int64_t GetTickCountUS();

// counter x 1000000 / frequency without overflowing for large counter values.
int64_t CounterToMicroseconds(int64_t counter, int64_t frequency);

}  // namespace ZORVANTE
