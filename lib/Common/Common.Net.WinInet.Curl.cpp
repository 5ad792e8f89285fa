#include "Common.Net.WinInet.Curl.h"

namespace kv::curl {
namespace {
CURLSHcode ShareSetopt(CURLSH* share, CURLSHoption option, long value) { return curl_share_setopt(share, option, value); }
CURLcode SetoptLong(CURL* easy, CURLoption option, long value) { return curl_easy_setopt(easy, option, value); }
CURLcode SetoptOffset(CURL* easy, CURLoption option, curl_off_t value) { return curl_easy_setopt(easy, option, value); }
CURLcode SetoptPointer(CURL* easy, CURLoption option, const void* value) { return curl_easy_setopt(easy, option, value); }
CURLcode SetoptWrite(CURL* easy, CURLoption option, curl_write_callback value) {
  return curl_easy_setopt(easy, option, value);
}
CURLcode SetoptDebug(CURL* easy, CURLoption option, curl_debug_callback value) {
  return curl_easy_setopt(easy, option, value);
}
CURLcode GetinfoLong(CURL* easy, CURLINFO info, long* value) { return curl_easy_getinfo(easy, info, value); }
CURLcode GetinfoOffset(CURL* easy, CURLINFO info, curl_off_t* value) { return curl_easy_getinfo(easy, info, value); }
}  // namespace

CurlCalls& Curl() {
  static CurlCalls calls{
      curl_global_init,  curl_share_init,   ShareSetopt,         curl_share_cleanup, curl_easy_init,
      curl_easy_cleanup, SetoptLong,        SetoptOffset,        SetoptPointer,      SetoptWrite,
      SetoptDebug,       GetinfoLong,       GetinfoOffset,       curl_easy_pause,    curl_slist_append,
      curl_slist_free_all, curl_multi_init, curl_multi_add_handle, curl_multi_remove_handle, curl_multi_perform,
      curl_multi_poll,   curl_multi_info_read, curl_multi_cleanup,
  };
  return calls;
}
}  // namespace kv::curl
