// Reading a plug-in's PiPL (layout in pluginapi.h) and its enable expression.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qm::host {

struct FilterCaseInfo {
    uint8_t inputHandling = 0;
    uint8_t outputHandling = 0;
    uint8_t flags1 = 0;
    uint8_t flags2 = 0;
};

struct Pipl {
    uint32_t kind = 0;
    std::string name;
    std::string category;
    uint32_t version = 0;
    std::string entryPoint;  // for this host's pointer size; empty when none
    bool hasOtherEntryPoint = false;  // an entry point only for the other size
    std::optional<uint32_t> modes;    // PI_MODE_FLAG mask
    std::optional<std::string> enableExpression;
    bool hasTerminology = false;
    uint32_t suiteClass = 0;
    uint32_t suiteEvent = 0;
    int32_t terminologyId = 0;
    std::string terminologyScope;
    std::optional<std::array<FilterCaseInfo, 7>> filterCases;
};

// False with a message when the bytes are not a well-formed PiPL.
bool parsePipl(std::span<const uint8_t> bytes, Pipl& out, std::string& error);

// Names of the modes of a mask, e.g. "RGB Grayscale".
std::string describeModes(uint32_t mask);
const char* modeName(int mode);

// The host's view of an image for the enable expression.
struct ImageTraits {
    int mode = 3;
    int depth = 8;
};

// Evaluates the enable expression: alternatives joined by "||" or "&&", each
// "in (PSHOP_ImageMode, Mode, ...)", "PSHOP_ImageDepth == N" (or !=, <, >,
// <=, >=), "true" or "false"; parentheses group. Unparsable expressions answer
// nothing, so the caller can fall back to the 'mode' property.
std::optional<bool> evaluateEnable(const std::string& expression, const ImageTraits& image);

// Whether the plug-in offers itself for the image: the enable expression when
// it has one that parses, else the 'mode' mask, else yes.
bool pluginEnabledFor(const Pipl& pipl, const ImageTraits& image);

// Four-character code as text ('8BFM'), or 0x... when not printable.
std::string fourCCText(uint32_t code);

}  // namespace qm::host
