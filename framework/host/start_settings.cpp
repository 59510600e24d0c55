#include "framework/host/start_settings.h"

#include <array>

#include "framework/host/filter_session.h"
#include "framework/settings/preset_store.h"
#include "framework/settings/record.h"
#include "platform/pluginapi/pluginapi.h"

namespace qm::fw {
namespace {

constexpr int kDescriptorKeys = 32;

// Reads up to L/4 integers from the host's descriptor in the order it hands
// them out. False when the host cannot read one (a non-integer value): such
// a record is not taken.
bool readDescriptorRecord(const FilterSession& session, const ReadDescriptorProcs& procs,
                          PIDescriptorHandle descriptor, RecordBuffer& record) {
    std::array<DescriptorKeyID, kDescriptorKeys + 1> keys{};
    for (int i = 0; i < kDescriptorKeys; ++i)
        keys[static_cast<size_t>(i)] = kDescriptorKeyBase + static_cast<uint32_t>(i);
    PIReadDescriptor token = procs.openReadDescriptorProc(descriptor, keys.data());
    if (token == nullptr) return false;
    bool ok = true;
    const int integers = session.recordBytes() / 4;
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    int32_t flags = 0;
    for (int n = 0; n < integers && procs.getKeyProc(token, &key, &type, &flags); ++n) {
        int32_t value = 0;
        if (procs.getIntegerProc(token, &value) != noErr) {
            ok = false;
            break;
        }
        setRecordInteger(record.data(), n, value);
    }
    procs.closeReadDescriptorProc(token);
    return ok;
}

void disposeHostHandle(const FilterRecord& fr, PIDescriptorHandle h) {
    if (h != nullptr && fr.handleProcs != nullptr && fr.handleProcs->disposeProc != nullptr)
        fr.handleProcs->disposeProc(h);
}

}  // namespace

void chooseStartSettings(FilterSession& session, const os::ResourceModule& resources) {
    session.scriptingAskedDialog = false;
    if (!session.keepsLastUsed) {
        startOnDefaultFactoryPreset(session, resources);
        return;
    }

    RecordBuffer candidate{};
    bool candidateValid = readLastUsed(session, candidate);

    FilterRecord* fr = session.record;
    PIDescriptorParameters* dp = fr != nullptr ? fr->descriptorParameters : nullptr;
    if (dp != nullptr) {
        if (dp->playInfo == plugInDialogDisplay) session.scriptingAskedDialog = true;
        const ReadDescriptorProcs* procs = dp->readDescriptorProcs;
        if (dp->descriptor != nullptr && procs != nullptr &&
            procs->openReadDescriptorProc != nullptr && procs->closeReadDescriptorProc != nullptr &&
            procs->getKeyProc != nullptr && procs->getIntegerProc != nullptr) {
            RecordBuffer scripted{};
            if (readDescriptorRecord(session, *procs, dp->descriptor, scripted) &&
                validateRecord(scripted.data(), session.format)) {
                writeLastUsed(session, scripted.data());
                candidate = scripted;
                candidateValid = true;
            }
            disposeHostHandle(*fr, dp->descriptor);
            dp->descriptor = nullptr;
        }
    }

    if (candidateValid)
        acceptRecord(session, candidate.data());
    else
        startOnDefaultFactoryPreset(session, resources);
}

void storeLastUsed(FilterSession& session) {
    if (!session.keepsLastUsed) return;
    sealRecord(session.settings.data(), session.format, true);
    writeLastUsed(session, session.settings.data());

    FilterRecord* fr = session.record;
    PIDescriptorParameters* dp = fr != nullptr ? fr->descriptorParameters : nullptr;
    if (dp == nullptr) return;
    const WriteDescriptorProcs* procs = dp->writeDescriptorProcs;
    if (procs == nullptr || procs->openWriteDescriptorProc == nullptr ||
        procs->closeWriteDescriptorProc == nullptr || procs->putIntegerProc == nullptr)
        return;
    PIWriteDescriptor token = procs->openWriteDescriptorProc();
    if (token == nullptr) return;
    const int integers = session.recordBytes() / 4;
    for (int i = 0; i < integers; ++i)
        procs->putIntegerProc(token, kDescriptorKeyBase + static_cast<uint32_t>(i),
                              recordInteger(session.settings.data(), i));
    disposeHostHandle(*fr, dp->descriptor);
    dp->descriptor = nullptr;
    PIDescriptorHandle fresh = nullptr;
    procs->closeWriteDescriptorProc(token, &fresh);
    dp->descriptor = fresh;
    dp->recordInfo = 0;
}

}  // namespace qm::fw
