#include "tools/respack/aete_compiler.h"

#include <charconv>
#include <optional>
#include <string>

#include "platform/pluginapi/pluginapi.h"

namespace qm::tools {
namespace {

void putU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putText(std::vector<uint8_t>& out, const std::string& s) {
    out.push_back(static_cast<uint8_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
    if (out.size() % 2) out.push_back(0);
}

std::optional<uint32_t> code(const std::string& s) {
    if (s.size() != 4) return std::nullopt;
    return PI_FOURCC(s[0], s[1], s[2], s[3]);
}

std::optional<uint32_t> small(const std::string& s) {
    uint32_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v > 0xFFFF) return std::nullopt;
    return v;
}

}  // namespace

bool compileAete(std::string_view text, std::vector<uint8_t>& out, CompileError& error) {
    struct Param {
        std::string name, description;
        uint32_t key, type;
    };
    struct Event {
        std::string name, description, replyDescription, directDescription;
        uint32_t cls, id, reply, direct;
        std::vector<Param> params;
    };
    struct Suite {
        std::string vendor, description;
        uint32_t code, level, version;
        std::vector<Event> events;
    };
    uint32_t major = 1, minor = 0, language = 0;
    std::vector<Suite> suites;

    int lineNumber = 0;
    auto fail = [&](const std::string& message) {
        error = {lineNumber, message};
        return false;
    };
    std::vector<std::string> w;
    bool complete = forEachLine(text, [&](int at, std::string_view line) {
        lineNumber = at;
        if (!splitWords(line, w)) return fail("unterminated quoted text");
        if (w.empty()) return true;
        for (size_t i = 1; i < w.size(); ++i)
            if (w[i].size() > 255) return fail("texts hold at most 255 characters");
        if (w[0] == "version" && w.size() == 3 && small(w[1]) && small(w[2])) {
            major = *small(w[1]);
            minor = *small(w[2]);
        } else if (w[0] == "language" && w.size() == 2 && small(w[1])) {
            language = *small(w[1]);
        } else if (w[0] == "suite" && w.size() == 6 && code(w[3]) && small(w[4]) && small(w[5])) {
            suites.push_back({w[1], w[2], *code(w[3]), *small(w[4]), *small(w[5]), {}});
        } else if (w[0] == "event" && w.size() == 9 && code(w[3]) && code(w[4]) && code(w[5]) &&
                   code(w[7])) {
            if (suites.empty()) return fail("an event belongs to a suite");
            suites.back().events.push_back(
                {w[1], w[2], w[6], w[8], *code(w[3]), *code(w[4]), *code(w[5]), *code(w[7]), {}});
        } else if (w[0] == "param" && w.size() == 5 && code(w[2]) && code(w[3])) {
            if (suites.empty() || suites.back().events.empty())
                return fail("a parameter belongs to an event");
            suites.back().events.back().params.push_back({w[1], w[4], *code(w[2]), *code(w[3])});
        } else {
            return fail("expected version, language, suite, event or param with their values");
        }
        return true;
    });
    if (!complete) return false;
    lineNumber = 0;
    if (suites.empty()) return fail("a terminology needs a suite");

    out.clear();
    putU16(out, major);
    putU16(out, minor);
    putU16(out, language);
    putU16(out, 0);
    putU16(out, static_cast<uint32_t>(suites.size()));
    for (const Suite& s : suites) {
        putText(out, s.vendor);
        putText(out, s.description);
        putU32(out, s.code);
        putU16(out, s.level);
        putU16(out, s.version);
        putU16(out, static_cast<uint32_t>(s.events.size()));
        for (const Event& e : s.events) {
            putText(out, e.name);
            putText(out, e.description);
            putU32(out, e.cls);
            putU32(out, e.id);
            putU32(out, e.reply);
            putText(out, e.replyDescription);
            putU32(out, e.direct);
            putText(out, e.directDescription);
            putU16(out, static_cast<uint32_t>(e.params.size()));
            for (const Param& p : e.params) {
                putText(out, p.name);
                putU32(out, p.key);
                putU32(out, p.type);
                putText(out, p.description);
                putU16(out, 0);
            }
        }
    }
    return true;
}

}  // namespace qm::tools
