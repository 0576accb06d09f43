# KIV_SANITIZE builds a native tree instrumented by a sanitizer:
#   address  AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer
#   thread   ThreadSanitizer
# Every finding ends the program with a failure, so the test that made it fails. Such a
# tree builds the tests and what they run (no benchmarks, no libFuzzer targets: those are
# built and run with their own sanitizers by the plain native tree).
set(KIV_SANITIZE "" CACHE STRING "Sanitizer of a native tree: address, thread or empty")
set_property(CACHE KIV_SANITIZE PROPERTY STRINGS "" address thread)

if(KIV_SANITIZE)
  if(WIN32)
    message(FATAL_ERROR "KIV_SANITIZE applies to native trees only")
  endif()
  if(KIV_SANITIZE STREQUAL "address")
    set(_kiv_san_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
  elseif(KIV_SANITIZE STREQUAL "thread")
    set(_kiv_san_flags -fsanitize=thread)
  else()
    message(FATAL_ERROR "KIV_SANITIZE must be address or thread, not '${KIV_SANITIZE}'")
  endif()
  add_compile_options(${_kiv_san_flags} -fno-omit-frame-pointer)
  add_link_options(${_kiv_san_flags})
endif()
