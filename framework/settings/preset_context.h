// What the preset store reads and loads into: one plug-in's presets (its
// record format, registry key and default position) and the current record
// of its session. The filter session is one; tests may use it alone.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "framework/settings/record_format.h"

namespace qm::fw {

using RecordBuffer = std::array<uint8_t, kRecordBufferSize>;

class PresetContext {
public:
    virtual ~PresetContext() = default;

    RecordFormat format;
    RecordBuffer settings{};  // the first L bytes: the current record
    std::string registryKey;
    int defaultPosition = 2;
    // "Last Used" is kept and leads the list's first fill (later variant).
    bool keepsLastUsed = true;
    // Saves and deletes act on HKEY_LOCAL_MACHINE too (earlier variant).
    bool bothHives = false;
    // A cancelled file dialog of the export closes the preset dialog.
    bool exportCancelCloses = false;
    // Brings every valid record that enters up to date (may be null).
    void (*upgradeRecord)(uint8_t* record) = nullptr;

    // L as a byte count inside the buffer.
    int recordBytes() const { return std::clamp(format.length, 0, kRecordBufferSize); }

    // A record was accepted into `settings`: decode it into the slots, push
    // it to the dialog's controls and redraw, as far as there are any.
    virtual void showRecord() {}
    // Whether a dialog is open (factory presets load only then).
    virtual bool dialogOpen() const { return false; }
    // The window that owns message boxes (null: none).
    virtual void* messageOwner() const { return nullptr; }
};

}  // namespace qm::fw
