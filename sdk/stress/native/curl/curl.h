// Native stand-in for the libcurl calls of the document transfers: no transfer handle is
// ever made, so every upload and download fails cleanly (the stress run opens blank boards).
#pragma once

#include <cstdint>

typedef void CURL;
typedef int64_t curl_off_t;
enum CURLcode { CURLE_OK = 0, CURLE_FAILED_INIT = 2 };
enum CURLoption {
  CURLOPT_WRITEDATA = 10001,
  CURLOPT_URL = 10002,
  CURLOPT_READDATA = 10009,
  CURLOPT_USERAGENT = 10018,
  CURLOPT_PROGRESSDATA = 10057,
  CURLOPT_WRITEFUNCTION = 20011,
  CURLOPT_READFUNCTION = 20012,
  CURLOPT_PROGRESSFUNCTION = 20056,
  CURLOPT_NOPROGRESS = 43,
  CURLOPT_POST = 47,
  CURLOPT_PUT = 54,
  CURLOPT_FOLLOWLOCATION = 52,
  CURLOPT_SSL_VERIFYPEER = 64,
  CURLOPT_MAXREDIRS = 68,
  CURLOPT_SSL_VERIFYHOST = 81,
  CURLOPT_NOSIGNAL = 99,
  CURLOPT_UPLOAD = 46,
  CURLOPT_TIMEOUT_MS = 155,
  CURLOPT_CONNECTTIMEOUT_MS = 156,
  CURLOPT_INFILESIZE_LARGE = 30115,
};
#define CURL_GLOBAL_ALL 3L

inline CURLcode curl_global_init(long) { return CURLE_OK; }
inline void curl_global_cleanup() {}
inline CURL* curl_easy_init() { return nullptr; }
inline void curl_easy_cleanup(CURL*) {}
template <class T>
inline CURLcode curl_easy_setopt(CURL*, CURLoption, T) {
  return CURLE_FAILED_INIT;
}
inline CURLcode curl_easy_perform(CURL*) { return CURLE_FAILED_INIT; }
inline const char* curl_easy_strerror(CURLcode) { return "no transfers in the native stress build"; }
