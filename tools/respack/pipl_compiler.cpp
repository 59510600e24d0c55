#include "tools/respack/pipl_compiler.h"

#include <array>
#include <charconv>
#include <optional>

#include "platform/pluginapi/pluginapi.h"

namespace qm::tools {
namespace {

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::optional<uint32_t> fourCC(const std::string& s) {
    if (s.size() != 4) return std::nullopt;
    return PI_FOURCC(s[0], s[1], s[2], s[3]);
}

std::optional<int64_t> number(const std::string& s) {
    std::string_view v = s;
    bool negative = !v.empty() && v.front() == '-';
    if (negative) v.remove_prefix(1);
    int base = 10;
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        base = 16;
        v.remove_prefix(2);
    }
    int64_t value = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value, base);
    if (ec != std::errc() || end != v.data() + v.size() || v.empty()) return std::nullopt;
    return negative ? -value : value;
}

constexpr std::array<const char*, 16> kModeNames = {
    "BitmapMode",   "GrayScaleMode", "IndexedColorMode", "RGBMode",
    "CMYKMode",     "HSLMode",       "HSBMode",          "MultichannelMode",
    "DuotoneMode",  "LabMode",       "Gray16Mode",       "RGB48Mode",
    "Lab48Mode",    "CMYK64Mode",    "DeepMultichannelMode", "Duotone16Mode"};

struct Property {
    uint32_t key;
    std::vector<uint8_t> data;
};

}  // namespace

bool splitWords(std::string_view line, std::vector<std::string>& words) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string word;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) d = line[i++];
                word.push_back(d);
            }
            if (!closed) return false;
            words.push_back(std::move(word));
        } else {
            size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
            words.emplace_back(line.substr(start, i - start));
        }
    }
    return true;
}

bool compilePipl(std::string_view text, int pointerSize, std::vector<uint8_t>& out,
                 CompileError& error) {
    std::vector<Property> properties;
    std::vector<uint8_t> fici;
    size_t ficiIndex = 0;
    int ficiLines = 0;
    int lineNumber = 0;

    auto fail = [&](std::string message) {
        error = {lineNumber, std::move(message)};
        return false;
    };
    auto pascal = [](const std::string& s, std::vector<uint8_t>& data) {
        data.push_back(static_cast<uint8_t>(s.size()));
        data.insert(data.end(), s.begin(), s.end());
    };
    auto cString = [](const std::string& s, std::vector<uint8_t>& data) {
        data.insert(data.end(), s.begin(), s.end());
        data.push_back(0);
    };

    std::vector<std::string> w;
    bool complete = forEachLine(text, [&](int at, std::string_view line) {
        lineNumber = at;
        if (!splitWords(line, w)) return fail("unterminated quoted text");
        if (w.empty()) return true;
        const std::string& what = w[0];
        Property p;
        if (what == "kind") {
            auto code = w.size() == 2 ? fourCC(w[1]) : std::nullopt;
            if (!code) return fail("kind takes one four-character code");
            p.key = PIPL_KIND;
            putU32(p.data, *code);
        } else if (what == "name" || what == "catg") {
            if (w.size() != 2 || w[1].size() > 255) return fail(what + " takes one text of at most 255 characters");
            p.key = what == "name" ? PIPL_NAME : PIPL_CATEGORY;
            pascal(w[1], p.data);
        } else if (what == "vers") {
            auto v = w.size() == 2 ? number(w[1]) : std::nullopt;
            if (!v || *v < 0 || *v > 0xFFFFFFFFll) return fail("vers takes one number");
            p.key = PIPL_VERSION;
            putU32(p.data, static_cast<uint32_t>(*v));
        } else if (what == "entry") {
            if (w.size() != 2 || w[1].empty()) return fail("entry takes the entry point's name");
            if (pointerSize != 4 && pointerSize != 8) return fail("pointer size must be 4 or 8");
            p.key = pointerSize == 8 ? PIPL_ENTRY_X64 : PIPL_ENTRY_X86;
            cString(w[1], p.data);
        } else if (what == "mode") {
            uint32_t mask = 0;
            for (size_t i = 1; i < w.size(); ++i) {
                size_t m = 0;
                while (m < kModeNames.size() && w[i] != kModeNames[m]) ++m;
                if (m == kModeNames.size()) return fail("unknown mode " + w[i]);
                mask |= PI_MODE_FLAG(m);
            }
            p.key = PIPL_MODES;
            putU32(p.data, mask);
        } else if (what == "enbl") {
            if (w.size() != 2) return fail("enbl takes one quoted expression");
            p.key = PIPL_ENABLE;
            cString(w[1], p.data);
        } else if (what == "hstm") {
            if (w.size() != 6) return fail("hstm takes: version class event terminology-id \"scope\"");
            auto version = number(w[1]);
            auto cls = fourCC(w[2]);
            auto event = fourCC(w[3]);
            auto id = number(w[4]);
            if (!version || !cls || !event || !id) return fail("hstm: bad version, code or id");
            p.key = PIPL_HAS_TERMINOLOGY;
            putU32(p.data, static_cast<uint32_t>(*version));
            putU32(p.data, *cls);
            putU32(p.data, *event);
            putU32(p.data, static_cast<uint32_t>(*id));
            cString(w[5], p.data);
        } else if (what == "fici") {
            if (w.size() != 5) return fail("fici takes: input output flags1 flags2");
            if (ficiLines == 0) {
                ficiIndex = properties.size();
                properties.push_back({PIPL_FILTER_CASE_INFO, {}});
            } else if (ficiLines == 7) {
                return fail("more than seven fici lines");
            }
            for (int i = 1; i <= 4; ++i) {
                auto v = number(w[static_cast<size_t>(i)]);
                if (!v || *v < 0 || *v > 255) return fail("fici values are bytes");
                fici.push_back(static_cast<uint8_t>(*v));
            }
            ++ficiLines;
            return true;
        } else {
            return fail("unknown property " + what);
        }
        for (const Property& q : properties)
            if (q.key == p.key) return fail("property " + what + " given twice");
        properties.push_back(std::move(p));
        return true;
    });
    if (!complete) return false;
    lineNumber = 0;
    if (ficiLines != 0 && ficiLines != 7) return fail("fici needs seven lines, one per filter case");
    if (ficiLines == 7) properties[ficiIndex].data = fici;
    bool hasKind = false;
    for (const Property& q : properties) hasKind |= q.key == PIPL_KIND;
    if (!hasKind) return fail("a PiPL needs a kind");

    out.clear();
    putU32(out, static_cast<uint32_t>(properties.size()));
    for (const Property& q : properties) {
        putU32(out, PIPL_VENDOR);
        putU32(out, q.key);
        putU32(out, 0);
        putU32(out, static_cast<uint32_t>(q.data.size()));
        out.insert(out.end(), q.data.begin(), q.data.end());
        while (out.size() % 4) out.push_back(0);
    }
    return true;
}

}  // namespace qm::tools
