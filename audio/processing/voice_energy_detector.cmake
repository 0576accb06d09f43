# Voice-energy detector of the audio core's capture side.
target_sources(quietwell_processing PRIVATE ${CMAKE_CURRENT_LIST_DIR}/voice_energy/voice_energy_detector.cpp)

if(KIV_NATIVE)
  # The labelled set is spoken by espeak-ng at test time (natively only).
  kiv_gtest(quietwell_voice_energy_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/voice_energy/voice_energy_detector_test.cpp
    LIBS quietwell_processing
    TIMEOUT 120)
endif()
