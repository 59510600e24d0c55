// A library with an entry point but no resource table: not a plug-in.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) void ENTRYPOINT(int16_t, void*, intptr_t*,
                                                                  int16_t* result) {
    *result = 0;
}
