#include "platform/LazyCurl.h"

#include <dlfcn.h>

namespace {

struct Curl {
    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_easy_strerror) easy_strerror = nullptr;
    decltype(&curl_slist_append) slist_append = nullptr;
    decltype(&curl_slist_free_all) slist_free_all = nullptr;

    // All of them, or none.
    bool loaded() const {
        return global_init && easy_init && easy_setopt && easy_perform && easy_getinfo &&
               easy_cleanup && easy_strerror && slist_append && slist_free_all;
    }
};

template <typename Function> void resolve(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
}

// Loaded once, by whichever thread asks first; kept for the program run.
const Curl& Library() {
    static const Curl curl = [] {
        Curl c;
        void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return c;
        resolve(library, "curl_global_init", c.global_init);
        resolve(library, "curl_easy_init", c.easy_init);
        resolve(library, "curl_easy_setopt", c.easy_setopt);
        resolve(library, "curl_easy_perform", c.easy_perform);
        resolve(library, "curl_easy_getinfo", c.easy_getinfo);
        resolve(library, "curl_easy_cleanup", c.easy_cleanup);
        resolve(library, "curl_easy_strerror", c.easy_strerror);
        resolve(library, "curl_slist_append", c.slist_append);
        resolve(library, "curl_slist_free_all", c.slist_free_all);
        return c.loaded() ? c : Curl();
    }();
    return curl;
}

} // namespace

namespace lazycurl {

CURLcode global_init(long flags) {
    return Library().loaded() ? Library().global_init(flags) : CURLE_FAILED_INIT;
}

CURL* easy_init() {
    return Library().loaded() ? Library().easy_init() : nullptr;
}

SetoptFunction setopt_function() {
    return Library().loaded() ? Library().easy_setopt : nullptr;
}

GetinfoFunction getinfo_function() {
    return Library().loaded() ? Library().easy_getinfo : nullptr;
}

CURLcode easy_perform(CURL* curl) {
    return Library().loaded() ? Library().easy_perform(curl) : CURLE_FAILED_INIT;
}

void easy_cleanup(CURL* curl) {
    if (Library().loaded())
        Library().easy_cleanup(curl);
}

const char* easy_strerror(CURLcode code) {
    return Library().loaded() ? Library().easy_strerror(code) : "libcurl could not be loaded";
}

curl_slist* slist_append(curl_slist* list, const char* text) {
    return Library().loaded() ? Library().slist_append(list, text) : nullptr;
}

void slist_free_all(curl_slist* list) {
    if (Library().loaded())
        Library().slist_free_all(list);
}

} // namespace lazycurl
