#include "host/settings_file.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "host/pipl.h"

namespace qm::host {
namespace {

bool parseKey(std::string_view& rest, DescriptorKeyID& key) {
    if (rest.size() >= 6 && rest[0] == '\'' && rest[5] == '\'') {
        key = PI_FOURCC(rest[1], rest[2], rest[3], rest[4]);
        rest.remove_prefix(6);
        return true;
    }
    size_t end = rest.find_first_of(" \t");
    std::string_view word = rest.substr(0, end);
    if (word.size() == 10 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        uint32_t v = 0;
        auto [p, ec] = std::from_chars(word.data() + 2, word.data() + word.size(), v, 16);
        if (ec != std::errc() || p != word.data() + word.size()) return false;
        key = v;
    } else if (word.size() == 4) {
        key = PI_FOURCC(word[0], word[1], word[2], word[3]);
    } else {
        return false;
    }
    rest.remove_prefix(word.size());
    return true;
}

bool parseValue(std::string_view v, DescriptorItem& item) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
        item.type = typeChar;
        item.text = std::string(v.substr(1, v.size() - 2));
        return true;
    }
    if (v.find_first_of(".eE") != std::string_view::npos) {
        std::string s(v);
        char* end = nullptr;
        errno = 0;
        double d = std::strtod(s.c_str(), &end);
        if (errno || end != s.c_str() + s.size()) return false;
        item.type = typeFloat;
        item.number = d;
        return true;
    }
    int32_t n = 0;
    const char* first = v.data();
    if (!v.empty() && v[0] == '+') ++first;
    auto [p, ec] = std::from_chars(first, v.data() + v.size(), n);
    if (ec != std::errc() || p != v.data() + v.size() || v.empty()) return false;
    item.type = typeInteger;
    item.integer = n;
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

}  // namespace

bool parseSettings(std::string_view text, DescriptorItems& items, std::string& error) {
    items.clear();
    int lineNumber = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#') continue;
        DescriptorItem item;
        std::string_view rest = line;
        bool ok = parseKey(rest, item.key);
        if (ok) {
            ok = !rest.empty() && (rest[0] == ' ' || rest[0] == '\t');
            std::string_view value = trim(rest);
            ok = ok && parseValue(value, item);
        }
        if (!ok) {
            error = "line " + std::to_string(lineNumber) +
                    ": expected a four-character key, a blank and a 32-bit integer (\"kk00 1234\")";
            return false;
        }
        items.push_back(item);
    }
    return true;
}

std::string formatSettings(const DescriptorItems& items) {
    std::string out;
    for (const DescriptorItem& item : items) {
        std::string key = fourCCText(item.key);
        if (key.find(' ') != std::string::npos || key[0] == '#' || key[0] == '\'')
            key = "'" + key + "'";
        out += key;
        out += ' ';
        if (item.type == typeInteger) {
            out += std::to_string(item.integer);
        } else if (item.type == typeFloat) {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.17g", item.number);
            std::string s = buf;
            if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
            out += s;
        } else {
            out += "\"" + item.text + "\"";
        }
        out += '\n';
    }
    return out;
}

}  // namespace qm::host
