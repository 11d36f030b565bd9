// Under AddressSanitizer: the browser engine library itself frees some of its objects with a
// sized delete of another type when a page goes away (seen in libQt6WebEngineCore 6.4, not in
// our code). That check is turned off for this test program only; every other check stays.
// Without the sanitizer nothing calls this function.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
