// The FieldTable: byte pairs (value slot, bit width) ended by a slot of 0xFF,
// read for at most 150 pairs (300 bytes) even without the end mark. A slot
// may appear more than once; each occurrence is a field of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qm::fw {

constexpr int kValueSlots = 150;
constexpr int kMaxFieldPairs = 150;
constexpr uint8_t kFieldTableEnd = 0xFF;

// The decoded settings: slot i belongs to the i-th control of the dialog.
using ValueSlots = std::array<int32_t, kValueSlots>;

struct FieldTable {
    const uint8_t* bytes = nullptr;  // slot, width, slot, width, ..., 0xFF
    size_t size = 0;                 // bytes available; the walk never reads past it

    // Calls f(slot, width) for each pair in order.
    template <typename F>
    void forEach(F&& f) const {
        for (size_t i = 0; i + 1 < size && i / 2 < kMaxFieldPairs; i += 2) {
            if (bytes[i] == kFieldTableEnd) return;
            f(static_cast<int>(bytes[i]), static_cast<int>(bytes[i + 1]));
        }
    }
};

template <size_t N>
constexpr FieldTable fieldTableOf(const uint8_t (&bytes)[N]) {
    return FieldTable{bytes, N};
}

}  // namespace qm::fw
