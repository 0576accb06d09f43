# Echo canceller wrapper and the serrin core: transforms, state, switches, per-frame
# processing, the far-end delay line and the RNNoise pass.
set(_serrin ${CMAKE_CURRENT_LIST_DIR})
target_sources(quietwell_processing PRIVATE
  # Transforms and filter banks
  ${_serrin}/base/serrin_fft.cpp
  ${_serrin}/serrin/transform/fixed_fft256.cpp
  ${_serrin}/serrin/transform/prototype_window.cpp
  ${_serrin}/serrin/transform/filter_bank.cpp
  # Core state, settings and switches
  ${_serrin}/base/serrin_config.cpp
  ${_serrin}/serrin/serrin_features.cpp
  ${_serrin}/serrin/serrin_aux_block.cpp
  ${_serrin}/serrin/serrin_state.cpp
  ${_serrin}/serrin/serrin_process.cpp
  # Kernels (placeholders where noted in their headers)
  ${_serrin}/serrin/kernels/adaptive_echo_filter.cpp
  ${_serrin}/serrin/kernels/min_statistics.cpp
  ${_serrin}/serrin/kernels/band_coupling.cpp
  ${_serrin}/serrin/kernels/echo_delay_estimator.cpp
  ${_serrin}/serrin/kernels/suppression_gain.cpp
  ${_serrin}/serrin/kernels/frame_delay_switch.cpp
  ${_serrin}/serrin/kernels/transient_bank.cpp
  ${_serrin}/serrin/kernels/detector8k.cpp
  ${_serrin}/serrin/kernels/detector_chain.cpp
  ${_serrin}/serrin/kernels/residual_crest.cpp
  # Wrapper
  ${_serrin}/caec/aec_delay_line.cpp
  ${_serrin}/caec/rnnoise_pass.cpp
  ${_serrin}/caec/echo_canceller.cpp
  ${_serrin}/caec/aec_frame.cpp
  ${_serrin}/state/aec_state_record.cpp
  ${_serrin}/state/aec_state_reader.cpp
  ${_serrin}/state/aec_state_file.cpp)
if(WIN32)
  target_sources(quietwell_processing PRIVATE ${_serrin}/base/aec_platform_win.cpp)
  target_link_libraries(quietwell_processing PUBLIC advapi32)
else()
  target_sources(quietwell_processing PRIVATE ${_serrin}/base/aec_platform_posix.cpp)
endif()
target_link_libraries(quietwell_processing PUBLIC dep::rnnoise)

# Unit tests: pure logic, run natively and under wine64.
foreach(_t
    base/serrin_fft
    serrin/transform/fixed_fft256
    serrin/transform/filter_bank
    serrin/serrin_features
    serrin/serrin_state
    serrin/serrin_process
    caec/aec_delay_line
    caec/rnnoise_pass
    caec/echo_canceller
    caec/echo_canceller_near_end
    state/aec_state_file
    serrin/kernels/min_statistics
    serrin/kernels/adaptive_echo_filter
    serrin/kernels/suppression_gain
    serrin/kernels/band_coupling
    serrin/kernels/echo_delay_estimator
    serrin/kernels/residual_crest
    serrin/kernels/detector_chain)
  get_filename_component(_n ${_t} NAME)
  kiv_gtest(${_n}_test SOURCES ${_serrin}/${_t}_test.cpp LIBS quietwell_processing TIMEOUT 120)
  target_include_directories(${_n}_test PRIVATE ${_serrin}/serrin/testing)
endforeach()
