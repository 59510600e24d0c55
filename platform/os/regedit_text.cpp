#include "platform/os/regedit_text.h"

#include <cstdint>
#include <utility>
#include <optional>

namespace qm::os::regedit {
namespace {

using registry::Value;

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != prefix[i]) return false;
    }
    return true;
}

// Reads a quoted, regedit-escaped string starting at s[pos] == '"'. On success
// pos is just past the closing quote.
std::optional<std::string> readQuoted(std::string_view s, size_t& pos) {
    if (pos >= s.size() || s[pos] != '"') return std::nullopt;
    std::string out;
    for (size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\' && i + 1 < s.size()) {
            const char next = s[i + 1];
            // Only \\ and \" are escapes; any other backslash is taken as it
            // stands, the way hand-written files expect.
            if (next == '\\' || next == '"') {
                out += next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return std::nullopt;
}

// "3f,ce,0d" -> bytes. Regedit always writes two digits per byte; a shorter
// token is how a cut-off line looks, so it is refused.
std::optional<std::vector<uint8_t>> readHexList(std::string_view s) {
    std::vector<uint8_t> out;
    s = trim(s);
    if (s.empty()) return out;
    size_t start = 0;
    while (true) {
        const size_t comma = s.find(',', start);
        const std::string_view token =
            trim(s.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                 : comma - start));
        if (token.size() != 2) return std::nullopt;
        const int hi = hexDigit(token[0]);
        const int lo = hexDigit(token[1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return out;
}

bool looksLikeHexContinuation(std::string_view line) {
    line = trim(line);
    if (line.empty()) return false;
    for (char c : line) {
        if (hexDigit(c) < 0 && c != ',' && c != '\\' && !isBlank(c)) return false;
    }
    return true;
}

std::optional<uint32_t> readHexNumber(std::string_view s, size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    uint32_t v = 0;
    for (char c : s) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<uint32_t>(d);
    }
    return v;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {
        if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            std::string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            lines_.push_back(line);
            // Offsets count in the text as given, a byte-order mark included.
            ends_.push_back(static_cast<size_t>(text.data() - text_.data()) + (end == text.size() ? end : end + 1));
            if (end == text.size()) break;
            start = end + 1;
        }
        // A final "\n" leaves an empty last piece that is no line of its own.
        if (!lines_.empty() && lines_.back().empty() && !text.empty() && text.back() == '\n') {
            lines_.pop_back();
            ends_.pop_back();
        }
    }

    ParseResult run() {
        size_t i = 0;
        if (!lines_.empty() && trim(lines_[0]) == kHeader) {
            result_.hasHeader = true;
            i = 1;
        }
        while (i < lines_.size()) i = parseLine(i);
        return std::move(result_);
    }

private:
    // Offsets count from the start of the text as given, byte-order mark included.
    Span spanOf(size_t first, size_t last) const {
        return {static_cast<size_t>(lines_[first].data() - text_.data()), ends_[last]};
    }

    void bad(size_t first, size_t last) {
        for (size_t i = first; i <= last; ++i) result_.badLines.push_back(static_cast<int>(i + 1));
    }

    // Parses the line at i (and any continuation lines); returns the next index.
    size_t parseLine(size_t i) {
        const std::string_view line = trim(lines_[i]);
        if (line.empty() || line.front() == ';') return i + 1;
        if (line.front() == '[') {
            parseKeyLine(line, i);
            return i + 1;
        }
        if (line.front() == '"' || line.front() == '@') return parseValueLine(line, i);
        bad(i, i);
        return i + 1;
    }

    void parseKeyLine(std::string_view line, size_t i) {
        // Until a good key line comes, values have no key: they must not land
        // in the key before a damaged or deleting header.
        current_ = kNoKey;
        if (line.size() < 3 || line.back() != ']' || line[1] == '-') {
            bad(i, i);
            return;
        }
        const std::string_view inner = line.substr(1, line.size() - 2);
        const size_t slash = inner.find('\\');
        RootedKey key;
        key.root = std::string(inner.substr(0, slash));
        if (slash != std::string_view::npos) key.key.path = std::string(inner.substr(slash + 1));
        if (key.root.empty()) {
            bad(i, i);
            return;
        }
        result_.keys.push_back(std::move(key));
        result_.places.push_back({spanOf(i, i), {}});
        current_ = result_.keys.size() - 1;
    }

    size_t parseValueLine(std::string_view line, size_t first) {
        size_t last = first;
        std::optional<Value> value = readValue(line, last);
        if (!value || current_ == kNoKey) {
            bad(first, last);
        } else {
            result_.keys[current_].key.values.push_back(std::move(*value));
            result_.places[current_].values.push_back(spanOf(first, last));
        }
        return last + 1;
    }

    std::optional<Value> readValue(std::string_view line, size_t& last) {
        Value value;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else {
            std::optional<std::string> name = readQuoted(line, pos);
            if (!name) return std::nullopt;
            value.name = std::move(*name);
        }
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != '=') return std::nullopt;
        ++pos;
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        const std::string_view rest = line.substr(pos);

        if (!rest.empty() && rest.front() == '"') {
            size_t end = 0;
            std::optional<std::string> text = readQuoted(rest, end);
            if (!text || !trim(rest.substr(end)).empty()) return std::nullopt;
            value.type = registry::kTypeString;
            value.data.assign(text->begin(), text->end());
            return value;
        }
        if (startsWithNoCase(rest, "dword:")) {
            const std::string_view digits = trim(rest.substr(6));
            std::optional<uint32_t> v = readHexNumber(digits, 8);
            if (!v || digits.size() != 8) return std::nullopt;
            value.type = registry::kTypeDword;
            for (int b = 0; b < 4; ++b) value.data.push_back(static_cast<uint8_t>(*v >> (8 * b)));
            return value;
        }
        std::string_view hexText;
        if (startsWithNoCase(rest, "hex:")) {
            value.type = registry::kTypeBinary;
            hexText = rest.substr(4);
        } else if (startsWithNoCase(rest, "hex(")) {
            const size_t close = rest.find("):");
            if (close == std::string_view::npos) return std::nullopt;
            std::optional<uint32_t> type = readHexNumber(rest.substr(4, close - 4), 8);
            if (!type) return std::nullopt;
            value.type = *type;
            hexText = rest.substr(close + 2);
        } else {
            // Includes "name"=- : deleting a value is not something a stored
            // root can mean, so such lines are reported like any other bad one.
            return std::nullopt;
        }

        std::string joined(trim(hexText));
        while (!joined.empty() && joined.back() == '\\') {
            joined.pop_back();
            if (last + 1 >= lines_.size() || !looksLikeHexContinuation(lines_[last + 1])) {
                return std::nullopt;
            }
            ++last;
            joined += trim(lines_[last]);
        }
        std::optional<std::vector<uint8_t>> bytes = readHexList(joined);
        if (!bytes) return std::nullopt;
        value.data = std::move(*bytes);
        return value;
    }

    std::string_view text_;
    std::vector<std::string_view> lines_;
    std::vector<size_t> ends_;  // where each line's line end finishes
    ParseResult result_;
    static constexpr size_t kNoKey = SIZE_MAX;
    size_t current_ = kNoKey;  // index into result_.keys
};

void appendEscaped(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

void appendHex(std::string& out, const std::vector<uint8_t>& data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        if (i > 0) out += ',';
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0f];
    }
}

void appendTypeNumber(std::string& out, uint32_t type) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[type & 0x0f]);
        type >>= 4;
    } while (type != 0);
    out += digits;
}

void appendValue(std::string& out, const Value& value) {
    if (value.name.empty()) {
        out += '@';
    } else {
        appendEscaped(out, value.name);
    }
    out += '=';
    if (value.type == registry::kTypeString) {
        std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size());
        if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
        // A line break or zero inside cannot stand in a quoted string; hex(1)
        // keeps those bytes exactly.
        if (text.find_first_of(std::string_view("\0\n\r", 3)) == std::string_view::npos) {
            appendEscaped(out, text);
            out += '\n';
            return;
        }
    } else if (value.type == registry::kTypeDword && value.data.size() == 4) {
        uint32_t v = 0;
        for (int b = 3; b >= 0; --b) v = (v << 8) | value.data[static_cast<size_t>(b)];
        static constexpr char kDigits[] = "0123456789abcdef";
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(v >> shift) & 0x0f];
        out += '\n';
        return;
    }
    if (value.type == registry::kTypeBinary) {
        out += "hex:";
    } else {
        out += "hex(";
        appendTypeNumber(out, value.type);
        out += "):";
    }
    appendHex(out, value.data);
    out += '\n';
}

}  // namespace

ParseResult parse(std::string_view text) {
    return Parser(text).run();
}

std::string formatValue(const Value& value) {
    std::string out;
    appendValue(out, value);
    return out;
}

std::string format(const std::vector<RootedKey>& keys) {
    std::string out(kHeader);
    out += "\n\n";
    for (const RootedKey& key : keys) {
        out += '[';
        out += key.root;
        if (!key.key.path.empty()) {
            out += '\\';
            out += key.key.path;
        }
        out += "]\n";
        for (const Value& value : key.key.values) appendValue(out, value);
        out += '\n';
    }
    return out;
}

}  // namespace qm::os::regedit
