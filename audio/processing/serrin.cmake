# Echo canceller wrapper and the serrin core: transforms, state, switches, per-frame
# processing, the far-end delay line and the RNNoise pass.
set(_serrin ${CMAKE_CURRENT_LIST_DIR})
target_sources(quietwell_processing PRIVATE
  ${_serrin}/serrin_fft.cpp
  ${_serrin}/fixed_fft256.cpp
  ${_serrin}/prototype_window.cpp
  ${_serrin}/filter_bank.cpp)
target_link_libraries(quietwell_processing PUBLIC dep::rnnoise)

# Unit tests: pure logic, run natively and under wine64.
foreach(_t
    serrin_fft
    fixed_fft256
    filter_bank)
  kiv_gtest(${_t}_test SOURCES ${_serrin}/${_t}_test.cpp LIBS quietwell_processing TIMEOUT 60)
endforeach()
