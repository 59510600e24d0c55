#include "host/pipl.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/pluginapi/pluginapi.h"

namespace qm::host {
namespace {

uint32_t readU32(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

bool cString(std::span<const uint8_t> data, std::string& out) {
    const void* zero = std::memchr(data.data(), 0, data.size());
    if (!zero) return false;
    out.assign(reinterpret_cast<const char*>(data.data()),
               static_cast<size_t>(static_cast<const uint8_t*>(zero) - data.data()));
    return true;
}

bool pascalString(std::span<const uint8_t> data, std::string& out) {
    if (data.empty() || data[0] + 1u > data.size()) return false;
    out.assign(reinterpret_cast<const char*>(data.data() + 1), data[0]);
    return true;
}

constexpr const char* kModeNames[16] = {
    "Bitmap",   "Grayscale", "Indexed", "RGB",    "CMYK",  "HSL",    "HSB",
    "Multichannel", "Duotone", "Lab",   "Gray16", "RGB48", "Lab48",  "CMYK64",
    "DeepMultichannel", "Duotone16"};

constexpr const char* kModeConstants[16] = {
    "BitmapMode",   "GrayScaleMode", "IndexedColorMode", "RGBMode",
    "CMYKMode",     "HSLMode",       "HSBMode",          "MultichannelMode",
    "DuotoneMode",  "LabMode",       "Gray16Mode",       "RGB48Mode",
    "Lab48Mode",    "CMYK64Mode",    "DeepMultichannelMode", "Duotone16Mode"};

// Recursive descent over the small enable-expression language.
class EnableParser {
public:
    EnableParser(const std::string& text, const ImageTraits& image) : s_(text), image_(image) {}

    std::optional<bool> run() {
        auto v = orExpr();
        skipSpace();
        if (!v || pos_ != s_.size()) return std::nullopt;
        return v;
    }

private:
    void skipSpace() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    bool take(const char* token) {
        skipSpace();
        size_t n = std::strlen(token);
        if (s_.compare(pos_, n, token) != 0) return false;
        pos_ += n;
        return true;
    }
    std::string word() {
        skipSpace();
        size_t start = pos_;
        while (pos_ < s_.size() &&
               (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
            ++pos_;
        return s_.substr(start, pos_ - start);
    }
    std::optional<bool> orExpr() {
        auto v = andExpr();
        while (v && take("||")) {
            auto r = andExpr();
            if (!r) return std::nullopt;
            v = *v || *r;
        }
        return v;
    }
    std::optional<bool> andExpr() {
        auto v = primary();
        while (v && take("&&")) {
            auto r = primary();
            if (!r) return std::nullopt;
            v = *v && *r;
        }
        return v;
    }
    std::optional<bool> primary() {
        if (take("!")) {
            auto v = primary();
            if (!v) return std::nullopt;
            return !*v;
        }
        if (take("(")) {
            auto v = orExpr();
            if (!v || !take(")")) return std::nullopt;
            return v;
        }
        std::string w = word();
        if (w == "true") return true;
        if (w == "false") return false;
        if (w == "in") {
            if (!take("(") || word() != "PSHOP_ImageMode") return std::nullopt;
            bool found = false;
            while (take(",")) {
                std::string m = word();
                int mode = -1;
                for (int i = 0; i < 16; ++i)
                    if (m == kModeConstants[i]) mode = i;
                if (mode < 0) return std::nullopt;
                found |= mode == image_.mode;
            }
            if (!take(")")) return std::nullopt;
            return found;
        }
        if (w == "PSHOP_ImageDepth") {
            const char* ops[] = {"==", "!=", "<=", ">=", "<", ">"};
            int op = -1;
            for (int i = 0; i < 6 && op < 0; ++i)
                if (take(ops[i])) op = i;
            std::string n = word();
            if (op < 0 || n.empty() || n.size() > 4) return std::nullopt;
            for (char c : n)
                if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
            int value = std::stoi(n);
            int d = image_.depth;
            switch (op) {
                case 0: return d == value;
                case 1: return d != value;
                case 2: return d <= value;
                case 3: return d >= value;
                case 4: return d < value;
                default: return d > value;
            }
        }
        return std::nullopt;
    }

    const std::string& s_;
    const ImageTraits& image_;
    size_t pos_ = 0;
};

}  // namespace

bool parsePipl(std::span<const uint8_t> bytes, Pipl& out, std::string& error) {
    out = Pipl();
    if (bytes.size() < 4) {
        error = "PiPL too short";
        return false;
    }
    uint32_t count = readU32(bytes, 0);
    size_t at = 4;
    const uint32_t ownKey = sizeof(void*) == 8 ? PIPL_ENTRY_X64 : PIPL_ENTRY_X86;
    const uint32_t otherKey = sizeof(void*) == 8 ? PIPL_ENTRY_X86 : PIPL_ENTRY_X64;
    bool haveKind = false;
    for (uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < 16) {
            error = "PiPL property " + std::to_string(i) + " is cut off";
            return false;
        }
        uint32_t vendor = readU32(bytes, at);
        uint32_t key = readU32(bytes, at + 4);
        uint32_t length = readU32(bytes, at + 12);
        at += 16;
        if (length > bytes.size() - at) {
            error = "PiPL property " + fourCCText(key) + " runs past the resource";
            return false;
        }
        std::span<const uint8_t> data = bytes.subspan(at, length);
        at += (static_cast<size_t>(length) + 3) & ~size_t(3);
        if (at > bytes.size()) at = bytes.size();
        if (vendor != PIPL_VENDOR) continue;
        bool ok = true;
        if (key == PIPL_KIND) {
            ok = length == 4;
            if (ok) out.kind = readU32(data, 0);
            haveKind = ok;
        } else if (key == PIPL_NAME) {
            ok = pascalString(data, out.name);
        } else if (key == PIPL_CATEGORY) {
            ok = pascalString(data, out.category);
        } else if (key == PIPL_VERSION) {
            ok = length == 4;
            if (ok) out.version = readU32(data, 0);
        } else if (key == ownKey) {
            ok = cString(data, out.entryPoint) && !out.entryPoint.empty();
        } else if (key == otherKey) {
            out.hasOtherEntryPoint = true;
        } else if (key == PIPL_MODES) {
            ok = length == 4;
            if (ok) out.modes = readU32(data, 0);
        } else if (key == PIPL_ENABLE) {
            std::string e;
            ok = cString(data, e);
            if (ok) out.enableExpression = e;
        } else if (key == PIPL_HAS_TERMINOLOGY) {
            ok = length >= 17;
            if (ok) {
                out.hasTerminology = true;
                out.suiteClass = readU32(data, 4);
                out.suiteEvent = readU32(data, 8);
                out.terminologyId = static_cast<int32_t>(readU32(data, 12));
                ok = cString(data.subspan(16), out.terminologyScope);
            }
        } else if (key == PIPL_FILTER_CASE_INFO) {
            ok = length == 28;
            if (ok) {
                std::array<FilterCaseInfo, 7> cases;
                for (size_t c = 0; c < 7; ++c)
                    cases[c] = {data[4 * c], data[4 * c + 1], data[4 * c + 2], data[4 * c + 3]};
                out.filterCases = cases;
            }
        }
        if (!ok) {
            error = "PiPL property " + fourCCText(key) + " is malformed";
            return false;
        }
    }
    if (!haveKind) {
        error = "PiPL has no kind";
        return false;
    }
    return true;
}

const char* modeName(int mode) {
    return mode >= 0 && mode < 16 ? kModeNames[mode] : "unknown";
}

std::string describeModes(uint32_t mask) {
    std::string s;
    for (int m = 0; m < 16; ++m)
        if (mask & PI_MODE_FLAG(m)) {
            if (!s.empty()) s += ' ';
            s += kModeNames[m];
        }
    return s.empty() ? "none" : s;
}

std::optional<bool> evaluateEnable(const std::string& expression, const ImageTraits& image) {
    return EnableParser(expression, image).run();
}

bool pluginEnabledFor(const Pipl& pipl, const ImageTraits& image) {
    if (pipl.enableExpression)
        if (auto v = evaluateEnable(*pipl.enableExpression, image)) return *v;
    if (pipl.modes) return (*pipl.modes & PI_MODE_FLAG(image.mode)) != 0;
    return true;
}

std::string fourCCText(uint32_t code) {
    char c[4] = {static_cast<char>(code >> 24), static_cast<char>(code >> 16),
                 static_cast<char>(code >> 8), static_cast<char>(code)};
    bool printable = true;
    for (char ch : c) printable &= ch >= 0x20 && ch < 0x7F;
    if (printable) return std::string(c, 4);
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", code);
    return buf;
}

}  // namespace qm::host
