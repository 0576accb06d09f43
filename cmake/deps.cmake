# Imported targets for the third-party libraries built by scripts/deps.sh.
set(KIV_DEPS_ROOT "${CMAKE_SOURCE_DIR}/build/deps" CACHE PATH "scripts/deps.sh output")
if(WIN32)
  set(_deps "${KIV_DEPS_ROOT}/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32")
else()
  set(_deps "${KIV_DEPS_ROOT}/native")
endif()
if(NOT EXISTS "${_deps}/lib")
  message(FATAL_ERROR "dependencies missing at ${_deps}: run scripts/deps.sh")
endif()

function(_kiv_dep name lib)
  add_library(dep::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(dep::${name} PROPERTIES
    IMPORTED_LOCATION "${_deps}/lib/${lib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_deps}/include")
endfunction()

_kiv_dep(rnnoise librnnoise.a)
_kiv_dep(tinyxml libtinyxml.a)
set_property(TARGET dep::tinyxml APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS TIXML_USE_STL)
_kiv_dep(tinyxml2 libtinyxml2.a)
if(WIN32)
  _kiv_dep(yuv libyuv.a)
  _kiv_dep(curl libcurl.a)
  set_property(TARGET dep::curl APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB)
  set_property(TARGET dep::curl APPEND PROPERTY INTERFACE_LINK_LIBRARIES
    ws2_32 crypt32 bcrypt secur32 wldap32 advapi32 normaliz)
endif()

# RapidJSON is header-only; expose only its own folder so that the cross build does
# not pick up the host's C library headers.
set(_rj "${CMAKE_BINARY_DIR}/rapidjson-include")
if(NOT EXISTS "${_rj}/rapidjson")
  file(MAKE_DIRECTORY "${_rj}")
  file(CREATE_LINK /usr/include/rapidjson "${_rj}/rapidjson" SYMBOLIC)
endif()
add_library(dep::rapidjson INTERFACE IMPORTED GLOBAL)
set_target_properties(dep::rapidjson PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${_rj}")

# Media libraries: scripts/deps_media.sh for the Windows trees, the distribution's
# packages natively (no FFmpeg there: recordings are made only by the Windows build).
set(KIV_MEDIA_DEPS_ROOT "${CMAKE_SOURCE_DIR}/build/deps-media" CACHE PATH "scripts/deps_media.sh output")
function(_kiv_media_dep name lib include)
  add_library(dep::${name} UNKNOWN IMPORTED GLOBAL)
  set_target_properties(dep::${name} PROPERTIES
    IMPORTED_LOCATION "${lib}" INTERFACE_INCLUDE_DIRECTORIES "${include}")
endfunction()
if(WIN32)
  set(_media "${KIV_MEDIA_DEPS_ROOT}/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32")
  if(NOT EXISTS "${_media}/lib/libavformat.a")
    message(FATAL_ERROR "media dependencies missing at ${_media}: run scripts/deps_media.sh")
  endif()
  _kiv_media_dep(opus "${_media}/lib/libopus.a" "${_media}/include/opus")
  # libopus is built with _FORTIFY_SOURCE: its checked memcpy/memset come from libssp.
  set_property(TARGET dep::opus APPEND PROPERTY INTERFACE_LINK_LIBRARIES ssp)
  _kiv_media_dep(openh264 "${_media}/lib/libopenh264.a" "${_media}/include")
  _kiv_media_dep(soundtouch "${_media}/lib/libSoundTouch.a" "${_media}/include")
  _kiv_media_dep(avutil "${_media}/lib/libavutil.a" "${_media}/include")
  set_property(TARGET dep::avutil APPEND PROPERTY INTERFACE_LINK_LIBRARIES bcrypt)
  _kiv_media_dep(avcodec "${_media}/lib/libavcodec.a" "${_media}/include")
  set_property(TARGET dep::avcodec APPEND PROPERTY INTERFACE_LINK_LIBRARIES dep::avutil)
  _kiv_media_dep(avformat "${_media}/lib/libavformat.a" "${_media}/include")
  set_property(TARGET dep::avformat APPEND PROPERTY INTERFACE_LINK_LIBRARIES dep::avcodec)
else()
  find_library(_opus_lib opus REQUIRED)
  find_library(_openh264_lib openh264 REQUIRED)
  find_library(_soundtouch_lib SoundTouch REQUIRED)
  _kiv_media_dep(opus "${_opus_lib}" /usr/include/opus)
  _kiv_media_dep(openh264 "${_openh264_lib}" /usr/include)
  _kiv_media_dep(soundtouch "${_soundtouch_lib}" /usr/include)
endif()
