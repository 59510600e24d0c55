#include "host/descriptor.h"

#include <set>

namespace qm::host {
namespace {

struct DescriptorObject {
    DescriptorItems items;
};

struct ReadToken {
    DescriptorItems items;
    size_t next = 0;      // item getKey returns next
    size_t current = 0;   // item the get procedures read; 0 = none yet
};

struct WriteToken {
    DescriptorItems items;
};

// One set per kind, so a token passed where a handle belongs is refused too.
template <typename T>
std::set<const void*>& liveSet() {
    static std::set<const void*> set;
    return set;
}

template <typename T>
T* live(const void* p) {
    return p && liveSet<T>().count(p) ? static_cast<T*>(const_cast<void*>(p)) : nullptr;
}

template <typename T>
T* track(T* p) {
    liveSet<T>().insert(p);
    return p;
}

template <typename T>
void release(T* p) {
    if (p && liveSet<T>().erase(p)) delete p;
}

PIReadDescriptor openRead(PIDescriptorHandle handle, const DescriptorKeyID* /*keyArray*/) {
    auto* d = live<DescriptorObject>(handle);
    if (!d) return nullptr;
    auto* token = track(new ReadToken{d->items, 0, 0});
    return reinterpret_cast<PIReadDescriptor>(token);
}

OSErr closeRead(PIReadDescriptor t) {
    auto* token = live<ReadToken>(t);
    if (!token) return filterBadParameters;
    release(token);
    return noErr;
}

Boolean getKey(PIReadDescriptor t, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
    auto* token = live<ReadToken>(t);
    if (!token || token->next >= token->items.size()) return false;
    const DescriptorItem& item = token->items[token->next];
    token->current = ++token->next;
    if (key) *key = item.key;
    if (type) *type = item.type;
    if (flags) *flags = 0;
    return true;
}

OSErr getInteger(PIReadDescriptor t, int32_t* value) {
    auto* token = live<ReadToken>(t);
    if (!token || token->current == 0 || !value) return filterBadParameters;
    const DescriptorItem& item = token->items[token->current - 1];
    if (item.type != typeInteger) return errAECoercionFail;
    *value = item.integer;
    return noErr;
}

PIWriteDescriptor openWrite() {
    auto* token = track(new WriteToken);
    return reinterpret_cast<PIWriteDescriptor>(token);
}

OSErr putInteger(PIWriteDescriptor t, DescriptorKeyID key, int32_t value) {
    auto* token = live<WriteToken>(t);
    if (!token) return filterBadParameters;
    DescriptorItem item;
    item.key = key;
    item.integer = value;
    token->items.push_back(item);
    return noErr;
}

OSErr closeWrite(PIWriteDescriptor t, PIDescriptorHandle* out) {
    auto* token = live<WriteToken>(t);
    if (!token) return filterBadParameters;
    PIDescriptorHandle handle = makeDescriptor(token->items);
    release(token);
    if (out) *out = handle;
    else disposeDescriptor(handle);
    return noErr;
}

void disposeHandle(Handle h) { disposeDescriptor(h); }

ReadDescriptorProcs readProcs = {0, 4, openRead, closeRead, getKey, getInteger};
WriteDescriptorProcs writeProcs = {0, 3, openWrite, closeWrite, putInteger};
HandleProcs handles = {1, 1, disposeHandle};

}  // namespace

ReadDescriptorProcs* readDescriptorProcs() { return &readProcs; }
WriteDescriptorProcs* writeDescriptorProcs() { return &writeProcs; }
HandleProcs* handleProcs() { return &handles; }

PIDescriptorHandle makeDescriptor(const DescriptorItems& items) {
    auto* d = track(new DescriptorObject{items});
    return reinterpret_cast<PIDescriptorHandle>(d);
}

bool descriptorContents(PIDescriptorHandle handle, DescriptorItems& out) {
    auto* d = live<DescriptorObject>(handle);
    if (!d) return false;
    out = d->items;
    return true;
}

void disposeDescriptor(PIDescriptorHandle handle) {
    release(live<DescriptorObject>(handle));
}

size_t liveDescriptorObjects() {
    return liveSet<DescriptorObject>().size() + liveSet<ReadToken>().size() +
           liveSet<WriteToken>().size();
}

}  // namespace qm::host
