# Audio base: lock, scoped lock, ring buffer, log function; the fixed-ratio resampler.
target_sources(quietwell_processing PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/base/vorax_mutex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/base/ring_buffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/base/audio_lib_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resample/resampler_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resample/resampler_kernels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resample/resampler.cpp)

if(KIV_NATIVE)
  find_package(Threads REQUIRED)
  target_link_libraries(quietwell_processing PUBLIC Threads::Threads)
  kiv_gtest(quietwell_base_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/base/ring_buffer_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/base/vorax_mutex_test.cpp
    LIBS quietwell_processing
    TIMEOUT 60)
  kiv_gtest(quietwell_resampler_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/resample/resampler_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/resample/resampler_kernels_test.cpp
    LIBS quietwell_processing
    TIMEOUT 120)
endif()
