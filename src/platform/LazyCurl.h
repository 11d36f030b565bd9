#pragma once

// libcurl, loaded the first time the HTTP service needs it instead of with the program: the
// library and those it needs in turn (TLS, Kerberos, LDAP, SSH ...) were a large share of what
// every start had to map and bind, and most runs of the program make no transfer at all. The
// functions keep libcurl's names and meaning in a namespace of their own (the program defines
// none of libcurl's symbols). When the library cannot be loaded no transfer starts:
// easy_init() gives nothing and the others fail with CURLE_FAILED_INIT.

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <type_traits>

namespace lazycurl {

CURLcode global_init(long flags);
CURL* easy_init();
CURLcode easy_perform(CURL* curl);
void easy_cleanup(CURL* curl);
const char* easy_strerror(CURLcode code);
curl_slist* slist_append(curl_slist* list, const char* text);
void slist_free_all(curl_slist* list);

using SetoptFunction = CURLcode (*)(CURL*, CURLoption, ...);
using GetinfoFunction = CURLcode (*)(CURL*, CURLINFO, ...);
SetoptFunction setopt_function(); // nothing when libcurl could not be loaded
GetinfoFunction getinfo_function();

// The option's one argument goes on with the type libcurl reads it as: a long, a curl_off_t,
// or a pointer (to data or to a function). Anything else would be read wrongly: refused here.
template <typename T> CURLcode easy_setopt(CURL* curl, CURLoption option, T value) {
    static_assert(std::is_same_v<T, long> || std::is_same_v<T, curl_off_t> ||
                      std::is_pointer_v<T> || std::is_null_pointer_v<T>,
                  "libcurl reads an option's argument as long, curl_off_t or a pointer");
    const SetoptFunction setopt = setopt_function();
    return setopt ? setopt(curl, option, value) : CURLE_FAILED_INIT;
}

// Every piece of information is written through a pointer.
template <typename T> CURLcode easy_getinfo(CURL* curl, CURLINFO info, T* target) {
    const GetinfoFunction getinfo = getinfo_function();
    return getinfo ? getinfo(curl, info, target) : CURLE_FAILED_INIT;
}

} // namespace lazycurl
