// A plug-in whose PiPL names an entry point the library does not export.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) void ENTRYPOINT(int16_t, void*, intptr_t*,
                                                                  int16_t* result) {
    *result = 0;
}
