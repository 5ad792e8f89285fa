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
      .global_init = curl_global_init,
      .share_init = curl_share_init,
      .share_setopt = ShareSetopt,
      .share_cleanup = curl_share_cleanup,
      .easy_init = curl_easy_init,
      .easy_cleanup = curl_easy_cleanup,
      .setopt_long = SetoptLong,
      .setopt_offset = SetoptOffset,
      .setopt_pointer = SetoptPointer,
      .setopt_write_function = SetoptWrite,
      .setopt_debug_function = SetoptDebug,
      .getinfo_long = GetinfoLong,
      .getinfo_offset = GetinfoOffset,
      .easy_pause = curl_easy_pause,
      .slist_append = curl_slist_append,
      .slist_free_all = curl_slist_free_all,
      .multi_init = curl_multi_init,
      .multi_add_handle = curl_multi_add_handle,
      .multi_remove_handle = curl_multi_remove_handle,
      .multi_perform = curl_multi_perform,
      .multi_poll = curl_multi_poll,
      .multi_info_read = curl_multi_info_read,
      .multi_cleanup = curl_multi_cleanup,
  };
  return calls;
}
}  // namespace kv::curl
