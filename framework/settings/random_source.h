// The random source of the earlier variant's dialogs, on the runtime's rand().
#pragma once

#include <cstdint>

namespace qm::fw {

// srand(tick count) when a dialog's control manager is created.
void seedRandom(uint32_t seed);
// One draw of the generator, 0 ... 32767 (the runtime's rand()).
int randomValue();
// low + integer part of (x * (high - low) + 0.4999), x = rand() / 32767 (at most 1).
int randomInt(int low, int high);
// randomInt(low, high), or replacement when it exceeds limit.
int randomCapped(int low, int high, int limit, int replacement);
// The same from a given rand() value, for tests and callers that draw themselves.
int randomIntFrom(int randValue, int low, int high);

}  // namespace qm::fw
