#include "platform/ui/headless/script.h"

#include <charconv>
#include <optional>

#include "platform/ui/text_words.h"

namespace qm::ui::script {
namespace {

int buttonOf(const std::string& name) {
    static const char* names[] = {"left", "right", "middle", "x1", "x2"};
    for (int i = 0; i < 5; ++i)
        if (name == names[i]) return i + 1;
    return 0;
}

struct KeyName {
    const char* name;
    uint32_t vk;
    char32_t character;
};
constexpr KeyName kKeys[] = {
    {"enter", 0x0D, U'\r'}, {"return", 0x0D, U'\r'}, {"escape", 0x1B, 0x1B}, {"esc", 0x1B, 0x1B},
    {"tab", 0x09, U'\t'},   {"backspace", 0x08, 0x08}, {"delete", 0x2E, 0},  {"left", 0x25, 0},
    {"right", 0x27, 0},     {"up", 0x26, 0},           {"down", 0x28, 0},    {"home", 0x24, 0},
    {"end", 0x23, 0},       {"pageup", 0x21, 0},       {"pagedown", 0x22, 0}, {"space", 0x20, U' '},
};

bool keyOf(const Word& w, Action& a) {
    const std::string name = lowerAscii(w.text);
    for (const KeyName& k : kKeys)
        if (name == k.name) {
            a.vk = k.vk;
            a.character = k.character;
            return true;
        }
    if (name.size() >= 2 && name[0] == 'f') {
        Word digits{name.substr(1), false};
        if (auto n = wordNumber(digits); n && *n >= 1 && *n <= 12) {
            a.vk = 0x70 + static_cast<uint32_t>(*n - 1);
            return true;
        }
    }
    if (w.text.size() == 1 && w.text[0] > ' ' && w.text[0] < 0x7F) {
        const char c = w.text[0];
        a.character = static_cast<unsigned char>(c);
        if (c >= 'a' && c <= 'z') a.vk = static_cast<uint32_t>(c - 'a' + 'A');
        else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) a.vk = static_cast<uint32_t>(c);
        return true;
    }
    return false;
}

// Trailing "shift" / "ctrl" words from position `from`.
bool modifiers(const std::vector<Word>& w, size_t from, Action& a) {
    for (size_t i = from; i < w.size(); ++i) {
        const std::string m = lowerAscii(w[i].text);
        if (w[i].quoted) return false;
        if (m == "shift") a.shift = true;
        else if (m == "ctrl" || m == "control") a.control = true;
        else return false;
    }
    return true;
}

bool hexColour(const std::string& s, uint32_t& out) {
    if (s.size() != 6) return false;
    uint32_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + 6, v, 16);
    if (ec != std::errc() || end != s.data() + 6) return false;
    out = ((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16);  // RRGGBB -> 0x00BBGGRR
    return true;
}

// One line's action; an error message when it does not parse.
std::string parseLine(const std::vector<Word>& w, Action& a) {
    const std::string verb = lowerAscii(w[0].text);
    const size_t n = w.size();
    auto point = [&](size_t at) {
        auto x = wordNumber(w[at]);
        auto y = wordNumber(w[at + 1]);
        if (!x || !y) return false;
        a.x = *x;
        a.y = *y;
        return true;
    };
    if (verb == "move") {
        a.kind = Kind::Move;
        if (n != 3 || !point(1)) return "expected: move X Y";
        return {};
    }
    if (verb == "press" || verb == "release" || verb == "click" || verb == "dblclick") {
        a.kind = verb == "press" ? Kind::Press : verb == "release" ? Kind::Release
               : verb == "click" ? Kind::Click : Kind::DoubleClick;
        if (n < 4 || !(a.button = buttonOf(lowerAscii(w[1].text))) || !point(2) || !modifiers(w, 4, a))
            return "expected: " + verb + " left|right|middle|x1|x2 X Y [shift] [ctrl]";
        return {};
    }
    if (verb == "wheel" || verb == "hwheel") {
        a.kind = verb == "wheel" ? Kind::Wheel : Kind::HWheel;
        auto d = wordNumber(n > 1 ? w[1] : Word{});
        if (n != 4 || !d || !point(2)) return "expected: " + verb + " DELTA X Y";
        a.amount = *d;
        return {};
    }
    if (verb == "key") {
        a.kind = Kind::Key;
        if (n < 2 || w[1].quoted || !keyOf(w[1], a) || !modifiers(w, 2, a))
            return "expected: key NAME [shift] [ctrl] (enter, escape, f1, tab, a character, ...)";
        return {};
    }
    if (verb == "type") {
        a.kind = Kind::Type;
        auto id = n == 3 ? wordNumber(w[1]) : std::nullopt;
        if (!id || !w[2].quoted) return "expected: type ID \"TEXT\"";
        a.id = *id;
        a.text = w[2].text;
        return {};
    }
    if (verb == "select") {
        a.kind = Kind::Select;
        auto id = n == 3 ? wordNumber(w[1]) : std::nullopt;
        if (id && w[2].quoted) {
            a.id = *id;
            a.text = w[2].text;
            return {};
        }
        auto index = id ? wordNumber(w[2]) : std::nullopt;
        if (!index || *index < 0) return "expected: select ID \"TEXT\" or select ID INDEX";
        a.id = *id;
        a.index = *index;
        return {};
    }
    if (verb == "answer") {
        a.kind = Kind::Answer;
        const std::string v = n == 2 ? lowerAscii(w[1].text) : std::string();
        if (v == "ok") a.amount = 1;
        else if (v == "cancel") a.amount = 2;
        else return "expected: answer ok|cancel";
        return {};
    }
    if (verb == "choose") {
        a.kind = Kind::Choose;
        if (n == 2 && w[1].quoted && !w[1].text.empty()) a.text = w[1].text;
        else if (n == 2 && lowerAscii(w[1].text) == "cancel") a.cancel = true;
        else return "expected: choose \"PATH\" or choose cancel";
        return {};
    }
    if (verb == "colour" || verb == "color") {
        a.kind = Kind::Colour;
        if (n == 2 && !w[1].quoted && lowerAscii(w[1].text) == "cancel") a.cancel = true;
        else if (n != 2 || w[1].quoted || !hexColour(w[1].text, a.colour))
            return "expected: colour RRGGBB or colour cancel";
        return {};
    }
    if (verb == "idle") {
        a.kind = Kind::Idle;
        a.amount = 5000;
        if (n == 2) {
            auto ms = wordNumber(w[1]);
            if (!ms || *ms < 0) return "expected: idle [MS]";
            a.amount = *ms;
        } else if (n != 1) {
            return "expected: idle [MS]";
        }
        return {};
    }
    if (verb == "mark") {
        a.kind = Kind::Mark;
        if (n < 2 || n > 3 || w[1].text.empty() || w[1].text.find('/') != std::string::npos)
            return "expected: mark NAME [window] (a name without '/')";
        a.text = w[1].text;
        if (n == 3) {
            if (lowerAscii(w[2].text) != "window") return "expected: mark NAME [window]";
            a.window = true;
        }
        return {};
    }
    return "unknown action '" + w[0].text + "'";
}

}  // namespace

bool parse(std::string_view text, std::vector<Action>& out, std::string& error) {
    out.clear();
    std::vector<Word> words;
    int lineNumber = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!splitWords(line, words)) {
            error = "line " + std::to_string(lineNumber) + ": unterminated quoted text";
            return false;
        }
        if (words.empty()) continue;
        Action a;
        a.line = lineNumber;
        std::string problem = parseLine(words, a);
        if (!problem.empty()) {
            error = "line " + std::to_string(lineNumber) + ": " + problem;
            return false;
        }
        out.push_back(std::move(a));
    }
    return true;
}

}  // namespace qm::ui::script
