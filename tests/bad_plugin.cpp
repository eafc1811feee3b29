// Hamlib plugins that must be refused, for test_bad_files: each is built as
// libcorvane_hamlib.so in a folder of its own, with one of these entry
// points under the name the loader looks for (CORVANE_ENTRY, taken from
// component/api/HamlibSupport.h by the build).
#include <cstdint>

#define CORVANE_TEXT(x) #x
#define CORVANE_NAME(x) CORVANE_TEXT(x)

#if defined(CORVANE_GIVES_NOTHING)
// A function that gives nothing.
extern "C" __attribute__((visibility("default"))) void* CORVANE_ENTRY() {
    return nullptr;
}
#elif defined(CORVANE_NULL_ENTRY)
// A symbol of the entry's name at address 0: dlsym() finds it, says no error
// and gives a null pointer.
asm(".globl " CORVANE_NAME(CORVANE_ENTRY) "\n"
                                          ".set " CORVANE_NAME(CORVANE_ENTRY) ", 0\n");
#elif defined(CORVANE_DATA_ENTRY)
// Data under the entry's name: calling it would end the program.
extern "C" __attribute__((visibility("default"))) const char CORVANE_ENTRY[] = "\xff\xff\xff\xff";
#elif defined(CORVANE_FOREIGN_ENTRY)
// A function giving a record of some other program's.
namespace {
struct Record {
    uint32_t magic;
    uint32_t size;
    void* support;
};
const Record record{0x12345678, sizeof(Record), nullptr};
} // namespace
extern "C" __attribute__((visibility("default"))) const void* CORVANE_ENTRY() {
    return &record;
}
#else
#error "which bad plugin?"
#endif
