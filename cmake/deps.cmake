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
