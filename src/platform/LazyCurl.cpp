// libcurl, loaded the first time the HTTP service needs it instead of with the program: the
// library and those it needs in turn (TLS, Kerberos, LDAP, SSH ...) were a large share of what
// every start had to map and bind, and most runs of the program make no transfer at all. The
// HTTP service calls the functions below as it would call libcurl's own; each loads the
// library once and hands the call on. When the library cannot be loaded, no transfer starts
// (curl_easy_init gives nothing) and the service says so.

#define CURL_DISABLE_TYPECHECK
#include <cstdarg>
#include <curl/curl.h>
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

extern "C" {

CURLcode curl_global_init(long flags) {
    return Library().loaded() ? Library().global_init(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
    return Library().loaded() ? Library().easy_init() : nullptr;
}

// The option's number tells the type of its one argument, as in libcurl itself.
CURLcode curl_easy_setopt(CURL* curl, CURLoption option, ...) {
    if (!Library().loaded())
        return CURLE_FAILED_INIT;
    const auto setopt = Library().easy_setopt;
    va_list args;
    va_start(args, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        result = setopt(curl, option, va_arg(args, long));
    else if (option < CURLOPTTYPE_FUNCTIONPOINT)
        result = setopt(curl, option, va_arg(args, void*));
    else if (option < CURLOPTTYPE_OFF_T)
        result = setopt(curl, option, va_arg(args, void (*)()));
    else if (option < CURLOPTTYPE_BLOB)
        result = setopt(curl, option, va_arg(args, curl_off_t));
    else
        result = setopt(curl, option, va_arg(args, void*));
    va_end(args);
    return result;
}

CURLcode curl_easy_perform(CURL* curl) {
    return Library().loaded() ? Library().easy_perform(curl) : CURLE_FAILED_INIT;
}

// Every piece of information is written through a pointer.
CURLcode curl_easy_getinfo(CURL* curl, CURLINFO info, ...) {
    if (!Library().loaded())
        return CURLE_FAILED_INIT;
    va_list args;
    va_start(args, info);
    void* target = va_arg(args, void*);
    va_end(args);
    return Library().easy_getinfo(curl, info, target);
}

void curl_easy_cleanup(CURL* curl) {
    if (Library().loaded())
        Library().easy_cleanup(curl);
}

const char* curl_easy_strerror(CURLcode code) {
    return Library().loaded() ? Library().easy_strerror(code) : "libcurl could not be loaded";
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
    return Library().loaded() ? Library().slist_append(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
    if (Library().loaded())
        Library().slist_free_all(list);
}

} // extern "C"
