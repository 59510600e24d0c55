#include "framework/settings/random_source.h"

#include <algorithm>

namespace qm::fw {

namespace {

// The dialogs were written for a runtime whose rand() yields 0..32767; glibc's
// yields 31 bits, which would push rand() / 32767 past 1 almost every time. So
// the generator is kept here, with that runtime's recurrence and 15-bit output.
uint32_t generatorState = 1;

}  // namespace

void seedRandom(uint32_t seed) { generatorState = seed; }

int randomValue() {
    generatorState = generatorState * 214013u + 2531011u;
    return static_cast<int>((generatorState >> 16) & 0x7FFFu);
}

int randomIntFrom(int randValue, int low, int high) {
    const double x = std::clamp(randValue / 32767.0, 0.0, 1.0);
    return low + static_cast<int>(x * (static_cast<double>(high) - low) + 0.4999);
}

int randomInt(int low, int high) { return randomIntFrom(randomValue(), low, high); }

int randomCapped(int low, int high, int limit, int replacement) {
    const int r = randomInt(low, high);
    return r > limit ? replacement : r;
}

}  // namespace qm::fw
