#pragma once
// Every libcurl call of the HTTP client goes through this table, so that tests can make a call
// fail and reach the error paths. Replace entries only through ScopedCurlCall.

#include <curl/curl.h>

#include "Runtime.ScopedReplacement.h"

namespace kv::curl {

struct CurlCalls {
  CURLcode (*global_init)(long flags);
  CURLSH* (*share_init)();
  CURLSHcode (*share_setopt)(CURLSH* share, CURLSHoption option, long value);
  CURLSHcode (*share_cleanup)(CURLSH* share);
  CURL* (*easy_init)();
  void (*easy_cleanup)(CURL* easy);
  CURLcode (*setopt_long)(CURL* easy, CURLoption option, long value);
  CURLcode (*setopt_offset)(CURL* easy, CURLoption option, curl_off_t value);
  CURLcode (*setopt_pointer)(CURL* easy, CURLoption option, const void* value);
  CURLcode (*setopt_write_function)(CURL* easy, CURLoption option, curl_write_callback value);
  CURLcode (*setopt_debug_function)(CURL* easy, CURLoption option, curl_debug_callback value);
  CURLcode (*getinfo_long)(CURL* easy, CURLINFO info, long* value);
  CURLcode (*getinfo_offset)(CURL* easy, CURLINFO info, curl_off_t* value);
  CURLcode (*easy_pause)(CURL* easy, int bitmask);
  curl_slist* (*slist_append)(curl_slist* list, const char* text);
  void (*slist_free_all)(curl_slist* list);
  CURLM* (*multi_init)();
  CURLMcode (*multi_add_handle)(CURLM* multi, CURL* easy);
  CURLMcode (*multi_remove_handle)(CURLM* multi, CURL* easy);
  CURLMcode (*multi_perform)(CURLM* multi, int* running);
  CURLMcode (*multi_poll)(CURLM* multi, curl_waitfd* extra, unsigned int count, int timeoutMs, int* numfds);
  CURLMsg* (*multi_info_read)(CURLM* multi, int* queued);
  CURLMcode (*multi_cleanup)(CURLM* multi);
};

// The table in use; starts with the real calls.
CurlCalls& Curl();

// Replaces one entry for the lifetime of the object.
template <class Fn>
struct ScopedCurlCall : ScopedReplacement<CurlCalls, Fn> {
  ScopedCurlCall(Fn CurlCalls::*member, Fn replacement) : ScopedReplacement<CurlCalls, Fn>(Curl(), member, replacement) {}
};

}  // namespace kv::curl
