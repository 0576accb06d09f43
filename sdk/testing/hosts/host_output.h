// What a test host says: one line on standard output, flushed at once, whole even when
// several threads speak.
#pragma once

#include <string>

namespace kiv_test {

void Say(const std::string& line);

}  // namespace kiv_test
