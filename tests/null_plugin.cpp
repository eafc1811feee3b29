// A Hamlib plugin whose entry point gives nothing, for test_bad_files: the
// component must say why Hamlib is not available rather than nothing.
extern "C" __attribute__((visibility("default"))) void* corvane_hamlib_support_v2() {
    return nullptr;
}
