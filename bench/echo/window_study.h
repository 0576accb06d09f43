// The prototype window's designs measured against each other: reconstruction through the
// analysis and synthesis banks, and echo removed by the adaptive filter.
#pragma once

void PrintWindowStudy();
