#include "tools/patterns/catalogue.h"

#include <utility>

#include "tools/patterns/kinds.h"

namespace qm::patterns {
namespace {

using namespace kinds;

PatternSpec P(std::string name, PixelFn f, int size = 128, uint8_t smin = 32, uint8_t smax = 50) {
    return PatternSpec{std::move(name), size, smin, smax, std::move(f)};
}

// The classic set; the factory presets use its patterns.
std::vector<PatternSpec> classics() {
    return {
        P("Pasta", worms(Ramp{0x6B4A12, 0xD9A93A, 0xF6DE8A, 0xFFF6D0}, 0x3A2408, 4, 0.14, 11), 160),
        P("Stained Glass", stainedGlass(6, 12), 160),
        P("Golden Orbs", orbs(Ramp{0x3A2300, 0x9C6B12, 0xE0B040, 0xFFF0B0}, 0x2A1C0C, 4, 0.46, true, 13)),
        P("Red Hair", hair(Ramp{0x3C0A02, 0x8A2A0C, 0xC8561E, 0xF09A50}, 96, 3, 0.9, 14), 160, 16, 50),
        P("Brush", brush(Ramp{0x1E3A5F, 0x4F7CAC, 0xC0D6DF, 0xEAE0CC, 0xD98E48}, 5, 9, 15), 160),
        P("Chess Board", checker(0xE8D2A6, 0x5A3418, 4, 0.05, 0.08, 16), 128, 16, 50),
        P("Melony", melon(0xB8D67A, 0x2F5A1E, 8, 0.5, 17), 160),
        P("Cole", lumps(Ramp{0x050505, 0x1C1C1E, 0x3A3A40, 0x6A6A74}, 5, 1.0, 18)),
        P("White Marble", marble(Ramp{0x6E6E72, 0xC8C8CC, 0xEDEDEF, 0xFAFAFA}, 1, 2, 1.6, 0.35, 19), 160),
        P("Green Marble", marble(Ramp{0x062818, 0x14543A, 0x4C9A74, 0xD8F0E0}, 2, 1, 1.8, 2.5, 20), 160),
        P("Black Marble", marble(Ramp{0x050505, 0x151518, 0x2A2A30, 0xE0E0E0}, 1, 1, 2.2, 6.0, 21), 160),
        P("Rose Marble", marble(Ramp{0x8C4A4A, 0xD08C86, 0xF0C8C0, 0xFFF0EC}, 2, 2, 1.4, 0.6, 22), 160),
        P("Oak", wood(Ramp{0x6B4220, 0x9A6A3A, 0xC49A62, 0xD8B47E}, 6, 1.2, 0.18, 23), 160),
        P("Walnut", wood(Ramp{0x24140A, 0x4A2E18, 0x6E4A2A, 0x8A6238}, 9, 1.0, 0.2, 24), 160),
        P("Pine", wood(Ramp{0xB07A40, 0xD8A868, 0xEFC98E, 0xF6DCAA}, 4, 0.8, 0.12, 25), 160),
        P("Cherry Wood", wood(Ramp{0x5A1E10, 0x8A3A20, 0xB25A36, 0xC87A50}, 7, 1.1, 0.15, 26, true), 160),
        P("Granite", granite(Ramp{0x5A5A5E, 0x8A8A90, 0xB0B0B4}, Ramp{0x101010, 0xE8E0D8, 0x7A4A3A}, 26, 0.6, 27)),
        P("Slate", layers(Ramp{0x2A3038, 0x3A424C, 0x4A5460, 0x5A6470}, 9, 0.06, 28)),
        P("Sandstone", layers(Ramp{0xB4784A, 0xCC9660, 0xDDB07C, 0xE8C89C}, 11, 0.1, 29)),
        P("Cobblestone", cellStones(Ramp{0x5C5A56, 0x7E7A72, 0x9A948A, 0x6E6A66}, 0x2A2622, 6, 0.08, 1.2, 30), 160),
        P("Denim", weave(0x2A4A7C, 0xC8CCD4, 48, 1, 0.35, 31)),
        P("Canvas", weave(0xD6C8A8, 0xC8B896, 40, 0, 0.25, 32)),
        P("Burlap", weave(0xA07E4E, 0x8E6C40, 20, 0, 0.6, 33)),
        P("Silk Weave", weave(0x8C1C3A, 0xC03A5A, 64, 1, 0.1, 34)),
        P("Brushed Steel", brushedMetal(Ramp{0x4A4E54, 0x8A9098, 0xC4CAD2, 0xE8ECF0}, 64, 0.3, 35)),
        P("Rusty Iron", corrosion(Ramp{0x3A3C40, 0x5E6268, 0x7E848C}, Ramp{0x3A1606, 0x7A3210, 0xB45A1E, 0xD88A3A}, 3, 0.55, 36)),
        P("Copper Patina", corrosion(Ramp{0x6A3A1E, 0xB06A3A, 0xD8945A}, Ramp{0x2E6E5E, 0x4EA08A, 0x8AD0B8}, 4, 0.45, 37)),
        P("Gold Leaf", crackle(Ramp{0x9A6A10, 0xD8A830, 0xF6D870}, 0x5A3A08, 6, 0.05, 38)),
        P("Leather", leather(Ramp{0x3A200E, 0x6A3E1C, 0x8E5A2E}, 14, 4.0, 2.0, 39)),
        P("Tree Bark", layers(Ramp{0x2A1C10, 0x4A3420, 0x6A4E34, 0x3A2A1A}, 5, 0.25, 40)),
        P("Moss", clouds(Ramp{0x1A2A08, 0x3A5A14, 0x6A8A24, 0xA0B848}, 8, 6, 0.65, 41)),
        P("Clouds", clouds(Ramp{0x3A6AB0, 0x7EA6DA, 0xD8E6F4, 0xFFFFFF}, 3, 6, 0.55, 42), 160, 0, 50),
        P("Water Ripples", caustics(Ramp{0x06304A, 0x0E5A7E, 0x3AA0C8, 0xC8F0FF}, 4, 43), 160),
        P("Lava", flames(Ramp{0x100000, 0x6A0A00, 0xD83A00, 0xFFB020, 0xFFF0A0}, 3, 3.0, 44), 160),
        P("Ice", crystals(Ramp{0x6AA0C8, 0xA8D0E8, 0xDDF0FA, 0xFFFFFF}, 6, 45)),
        P("Sand Dunes", waves(Ramp{0x9A6E3A, 0xC8985A, 0xE4C08A, 0xF4DCB0}, 6, 1, 0.6, 46), 160, 16, 50),
        P("Bricks", bricks(Ramp{0x8A3020, 0xA4442A, 0xB85A3A, 0x7A2A1C}, 0xC8C0B0, 8, 4, 0.06, 47)),
        P("Hexagons", hexagons(Ramp{0x2E5E8E, 0x3E7EAE, 0x5E9ECE}, 0x1A1A1A, 7, 0.06, 0.3, 48)),
        P("Scales", scales(Ramp{0x0E3A2A, 0x2A7A4A, 0x8ACA6A}, 0x0A1A10, 8, 10, 49)),
        P("Polka Dots", dots(0xF4E8D0, 0xC02A3A, 6, 0.28, true, 0.0), 128, 50, 50),
        P("Stripes", stripes(Ramp{0x1A2A4A, 0xF0E8D8}, 8, 0, 0.0, 51), 128, 50, 50),
        P("Zigzag", zigzag(Ramp{0x1A1A2A, 0xE0A020, 0xE0E0E0, 0x2A6A9A}, 8, 4, 52), 128, 16, 40),
        P("Waves", waves(Ramp{0x0A2A5A, 0x2A6AAA, 0x8AC8E8, 0xFFFFFF}, 5, 2, 0.35, 53)),
        P("Tiles", tiles(Ramp{0x1E6E8E, 0x4AA0C0, 0x9AD8E8}, 0xE8E4DC, 4, 0.04, 0.5, 54)),
        P("Basket Weave", weave(0xC8A060, 0xA87A40, 12, 2, 0.3, 55)),
        P("Honeycomb", hexagons(Ramp{0xC88A10, 0xE8B030, 0xF8D060}, 0x6A4008, 5, 0.1, 0.6, 56)),
        P("Crackle", crackle(Ramp{0xD8D0B8, 0xE8E0CA, 0xF4EEDC}, 0x3A3020, 5, 0.04, 57)),
        P("Cells", cellStones(Ramp{0xC84A6A, 0xE07A8A, 0xF0A0A8}, 0x5A1020, 7, 0.05, 2.0, 58, 0.9, 0.05), 128, 0, 50),
    };
}

std::vector<PatternSpec> stones() {
    return {
        P("Carrara", marble(Ramp{0x8A8C90, 0xD0D2D6, 0xEEEFF0, 0xFCFCFC}, 1, 1, 2.0, 0.3, 101), 160),
        P("Calacatta", marble(Ramp{0x7A6A50, 0xC8BCA6, 0xF0EAE0, 0xFFFDF8}, 1, 2, 2.4, 0.25, 102), 160),
        P("Onyx", banded(Ramp{0x3A2A10, 0x9A7A3A, 0xE8D8A8, 0xFFF8E0}, 2, 14, 0.5, 103), 160),
        P("Travertine", layers(Ramp{0xC8B090, 0xD8C4A6, 0xE6D6BE, 0xBCA282}, 14, 0.05, 104)),
        P("Emperador", marble(Ramp{0x2A1A10, 0x5A3A22, 0x8A6040, 0xE8D0B0}, 2, 1, 2.2, 4.0, 105), 160),
        P("Verde Antico", granite(Ramp{0x0A2A1A, 0x1A4A30, 0x2E6A48}, Ramp{0xE8F0E8, 0x0A0A0A, 0x6ABA8A}, 18, 0.5, 106)),
        P("Blue Marble", marble(Ramp{0x0A1A4A, 0x2A4A8A, 0x8AA8DA, 0xF0F4FF}, 1, 2, 1.8, 1.5, 107), 160),
        P("Sodalite", granite(Ramp{0x10205A, 0x203A8A, 0x3A5AAA}, Ramp{0xF0F0F8, 0xD8D8E8, 0x1A1A3A}, 14, 0.35, 108)),
        P("Malachite", banded(Ramp{0x02301A, 0x0A6A3A, 0x2EA060, 0x9AE0B0}, 3, 30, 0.3, 109), 160),
        P("Lapis", granite(Ramp{0x0A1A6A, 0x1A2A8A, 0x2A3EAA}, Ramp{0xE8C040, 0xFFF0A0, 0xD0D8F0}, 30, 0.12, 110)),
        P("Jade", clouds(Ramp{0x1A5A3A, 0x3A8A5A, 0x7ABA8A, 0xC8E8C8}, 3, 6, 0.6, 111)),
        P("Agate", banded(Ramp{0x6A2A10, 0xC86A30, 0xF0C08A, 0xFFF0E0}, 2, 22, 0.4, 112), 160),
        P("Jasper", clouds(Ramp{0x4A0A06, 0x8A2A12, 0xB8542A, 0xD89060}, 6, 6, 0.7, 113)),
        P("Basalt", granite(Ramp{0x18181A, 0x2A2A2E, 0x3C3C42}, Ramp{0x5A5A60, 0x0A0A0A, 0x7A7A80}, 36, 0.5, 114)),
        P("Obsidian", crystals(Ramp{0x020204, 0x0E0E14, 0x24242E, 0x5A5A6A}, 5, 115)),
        P("Pumice", sponge(Ramp{0x9A948A, 0xBAB4A8, 0xD0CABC}, 0x4A463E, 10, 0.32, 116)),
        P("Limestone", fibres(Ramp{0xB8AE96, 0xD0C6AE, 0xE4DCC8}, 6, 0.1, 117)),
        P("Shale", layers(Ramp{0x3A342E, 0x4E463E, 0x60584E, 0x2E2A26}, 16, 0.04, 118)),
        P("Flagstone", cellStones(Ramp{0x8A7A62, 0xA08E72, 0x7A6E5E, 0xB4A284}, 0x3A342C, 4, 0.07, 0.4, 119, 1.0, 0.4), 160),
        P("Pebbles", cellStones(Ramp{0xA89878, 0x8A7A66, 0xC8B89A, 0x6A5E52, 0xD8CCB4}, 0x4A4036, 9, 0.12, 2.5, 120, 1.0, 0.05)),
        P("River Stones", cellStones(Ramp{0x4A4E52, 0x6A6E70, 0x8A8A84, 0x5A544C}, 0x1A1A18, 5, 0.14, 2.5, 121, 1.0, 0.05), 160),
        P("Gravel", cellStones(Ramp{0x7A746A, 0x9A9284, 0x5A564E, 0xB0A896}, 0x2A2824, 16, 0.1, 2.0, 122, 1.0, 0.15)),
        P("Concrete", granite(Ramp{0x8A8A86, 0xA4A4A0, 0xB8B8B2}, Ramp{0x5A5A56, 0x4A4A46, 0xC8C8C4}, 40, 0.3, 123)),
        P("Terrazzo", terrazzo(0xE8E2D6, Ramp{0x2A2A2A, 0xB84A3A, 0x3A7A6A, 0xD8B060, 0x8A8A8A}, 7, 0.22, 124)),
        P("Quartz", crystals(Ramp{0xB8B8C0, 0xD8D8E0, 0xF0F0F8, 0xFFFFFF}, 7, 125)),
        P("Rose Quartz", crystals(Ramp{0xC07A8A, 0xE0A8B4, 0xF4CCD4, 0xFFF0F4}, 6, 126)),
        P("Amethyst", crystals(Ramp{0x2A0A4A, 0x5A2A8A, 0x9A6AC8, 0xE0C8F8}, 6, 127)),
        P("Sand", granite(Ramp{0xC8A878, 0xD8BC8E, 0xE6CCA2}, Ramp{0x8A6A4A, 0xF0E4D0, 0x5A4A3A}, 48, 0.4, 128)),
        P("Red Granite", granite(Ramp{0x8A3A2A, 0xA8503A, 0xC06A50}, Ramp{0x101010, 0xE8D8C8, 0x5A2A1A}, 24, 0.55, 129)),
        P("Grey Granite", granite(Ramp{0x6A6A6C, 0x8E8E90, 0xAEAEB0}, Ramp{0x141414, 0xF0F0F0, 0x404040}, 30, 0.6, 130)),
        P("Black Granite", granite(Ramp{0x0E0E10, 0x1A1A1E, 0x26262C}, Ramp{0xA0A0A8, 0x50505A, 0xE0E0E8}, 28, 0.25, 131)),
        P("Marble Tiles", tiles(Ramp{0xD8D8D4, 0xE8E8E4, 0xF4F4F0}, 0x8A8680, 2, 0.015, 0.3, 132), 160),
        P("Mosaic", tiles(Ramp{0x1A4A8A, 0x2A8AAA, 0xE8C060, 0xC84A2A, 0xF0F0E8}, 0x3A3A36, 12, 0.08, 1.0, 133)),
        P("Paving", bricks(Ramp{0x7A7672, 0x8E8A84, 0x6A6662}, 0x3A3836, 6, 3, 0.04, 134)),
        P("Cracked Earth", crackle(Ramp{0x8A5A32, 0xA8764A, 0xC0905E}, 0x2A1A0C, 5, 0.08, 135), 160),
        P("Dry Mud", crackle(Ramp{0x6A5A46, 0x857260, 0x9A8874}, 0x1E1810, 8, 0.06, 136)),
        P("Rock Face", flames(Ramp{0x2A2622, 0x5A544C, 0x8A8276, 0xB8B0A2}, 3, 1.2, 137), 160),
        P("Lichen", terrazzo(0x6A6A64, Ramp{0xA8B040, 0xC8C860, 0x8A9A3A, 0xD8D890}, 8, 0.3, 138)),
        P("Sediment", layers(Ramp{0x8A6A4A, 0xB08A5E, 0xC8A878, 0x7A5A3E, 0xD8C098}, 18, 0.12, 139)),
        P("Flint", clouds(Ramp{0x1A1814, 0x3A362E, 0x6A6252, 0xA89E88}, 4, 5, 0.5, 140)),
    };
}

std::vector<PatternSpec> woodsAndFabrics() {
    static const int tartan[] = {6, 2, 6, 1, 3, 1};
    static const int gingham[] = {4, 4};
    return {
        P("Mahogany", wood(Ramp{0x3A0E06, 0x5E1E0E, 0x7E3218, 0x94462A}, 10, 1.3, 0.2, 201), 160),
        P("Teak", wood(Ramp{0x5A3A18, 0x8A5E2E, 0xA87840, 0xBE9258}, 7, 1.0, 0.16, 202, true), 160),
        P("Ebony", wood(Ramp{0x080604, 0x16100A, 0x261C12, 0x3A2C1E}, 12, 1.2, 0.25, 203), 160),
        P("Birch", wood(Ramp{0xC8B08A, 0xE0CCA8, 0xEEE0C6, 0xF6ECDA}, 5, 0.7, 0.08, 204), 160),
        P("Maple", wood(Ramp{0xC0905A, 0xD8AC76, 0xE8C694, 0xF2D8AE}, 8, 0.9, 0.1, 205, true), 160),
        P("Bamboo", stalks(Ramp{0x6A7A20, 0xA8B040, 0xD8D070, 0xEEE8A0}, 5, 2, 206)),
        P("Driftwood", wood(Ramp{0x6A645C, 0x8E887E, 0xAAA49A, 0xC4BEB4}, 5, 1.6, 0.35, 207), 160),
        P("Plywood", layers(Ramp{0xC89A60, 0xDDB47A, 0xB08048, 0xE8C896}, 7, 0.04, 208)),
        P("Cork", granite(Ramp{0x8A5A30, 0xA87442, 0xC08E58}, Ramp{0x3A2412, 0xD8B080, 0x5A3A1E}, 34, 0.6, 209)),
        P("Wicker", weave(0xC8A068, 0xB08850, 8, 2, 0.2, 210)),
        P("Tweed", weave(0x6A5A46, 0x8A7A60, 56, 3, 0.7, 211)),
        P("Linen", weave(0xE0D6C2, 0xD4C8B0, 64, 0, 0.3, 212)),
        P("Corduroy", ribs(Ramp{0x3A2410, 0x6A4422, 0x8E6034, 0xA87A48}, 12, 0.6, 213)),
        P("Velvet", clouds(Ramp{0x2A0210, 0x5A0A24, 0x8A1A3A, 0xC04A6A}, 4, 4, 0.45, 214)),
        P("Knit", knit(0xB83A3A, 10, 14, 215)),
        P("Herringbone", weave(0x3A3A3E, 0xA8A8A4, 64, 3, 0.3, 216)),
        P("Tartan", plaid(Ramp{0x0E3A1E, 0xA01A1A, 0x0E1A4A, 0xE8C040}, 2, tartan, 6, 0.5, 217)),
        P("Gingham", plaid(Ramp{0xF8F8F8, 0x2A5AB0, 0xF8F8F8, 0x2A5AB0}, 8, gingham, 2, 0.3, 218), 128, 50, 50),
        P("Houndstooth", houndstooth(0xE8E4DC, 0x1A1A1A, 8), 128, 50, 50),
        P("Argyle", argyle(0x2A4A7A, 0x8A2A3A, 0xE8E0C8, 4), 128, 16, 40),
        P("Felt", fibres(Ramp{0x2A5A3A, 0x3A7A4E, 0x4E9A62}, 8, 0.25, 220)),
        P("Lace", lace(0x1A1A1E, 0xF4F0E8, 6)),
        P("Satin", brushedMetal(Ramp{0x4A0A2A, 0x8A2A5A, 0xD07AA8, 0xF8D0E8}, 8, 0.8, 222)),
        P("Suede", fibres(Ramp{0x6A4A2E, 0x8A6646, 0xA2805E}, 10, 0.12, 223)),
        P("Crocodile", leather(Ramp{0x1A2A10, 0x3A4A20, 0x5E6A36}, 7, 3.0, 4.0, 224)),
        P("Snake Skin", scales(Ramp{0x3A2A10, 0x8A6A30, 0xD8C080}, 0x1A1208, 12, 16, 225)),
        P("Fur", hair(Ramp{0x2A1A0E, 0x5A3A1E, 0x8A6038, 0xB89060}, 128, 6, 0.8, 226), 160),
        P("Feathers", feathers(Ramp{0x1A2A4A, 0x3A5A8A, 0x8AAAD0, 0xE0E8F4}, 5, 6, 227)),
        P("Straw", hair(Ramp{0x8A6A20, 0xC8A040, 0xE8CC70, 0xF8E8A8}, 40, 2, 1.1, 228), 160),
        P("Paper", fibres(Ramp{0xD8D0BE, 0xE8E2D2, 0xF4F0E4}, 5, 0.08, 229), 128, 0, 50),
    };
}

std::vector<PatternSpec> metalsAndShapes() {
    return {
        P("Hammered Copper", hammered(Ramp{0x3A1408, 0x8A4220, 0xD8864A, 0xFFD0A0}, 9, 6.0, 301)),
        P("Diamond Plate", diamondPlate(Ramp{0x3A3E44, 0x7A8088, 0xB8BEC6, 0xF0F4F8}, 6, 302)),
        P("Chrome", brushedMetal(Ramp{0x101418, 0x6A747E, 0xDDE4EA, 0xFFFFFF}, 16, 1.2, 303)),
        P("Bronze", hammered(Ramp{0x2A1A06, 0x6A4A1A, 0xB08A40, 0xF0D48A}, 6, 3.0, 304)),
        P("Titanium", brushedMetal(Ramp{0x3A3A46, 0x5E5E70, 0x8A8AA0, 0xB8B8CC}, 48, 0.4, 305)),
        P("Rust", corrosion(Ramp{0x4A2A1A, 0x6A3A22, 0x8A5030}, Ramp{0x2A0E04, 0x6A2608, 0xA44A14, 0xD8802E}, 4, 0.8, 306)),
        P("Verdigris", corrosion(Ramp{0x5A3A1A, 0x9A6A30, 0xC89A50}, Ramp{0x1A5A4A, 0x3A8A74, 0x7AC0A8, 0xB8E8D4}, 3, 0.65, 307)),
        P("Brass Mesh", mesh(Ramp{0x3A2A0A, 0x9A7A2A, 0xE8C860}, 0x0A0806, 12, 0.22)),
        P("Chainmail", chainmail(Ramp{0x1A1C20, 0x6A707A, 0xC8CED6}, 0x08090A, 8)),
        P("Rivets", dots(0x6A7078, 0x9AA0A8, 4, 0.14, false, 0.9)),
        P("Pewter", hammered(Ramp{0x2A2C30, 0x5A5E64, 0x8A8E94, 0xB8BCC0}, 14, 2.0, 311)),
        P("Coral", sponge(Ramp{0xC84A3A, 0xE8785A, 0xF8A888}, 0x5A1810, 7, 0.3, 312)),
        P("Sponge", sponge(Ramp{0xC8A040, 0xE0BC5A, 0xF0D480}, 0x6A4A10, 12, 0.35, 313)),
        P("Bubbles", bubbles(Ramp{0x1A4A8A, 0x4A8ACA, 0xA8D8F8}, 0x0A2A5A, 5, 0.4, 314)),
        P("Foam", bubbles(Ramp{0xC8D8E0, 0xE0ECF0, 0xFFFFFF}, 0xA8BCC8, 9, 0.48, 315)),
        P("Veins", flames(Ramp{0x1A0206, 0x5A0A14, 0xB01A2A, 0xF07A7A}, 4, 4.0, 316)),
        P("Nebula", clouds(Ramp{0x02020A, 0x2A0A4A, 0x8A2A8A, 0xE87AA8, 0xFFF0E0}, 3, 7, 0.6, 317), 160, 0, 50),
        P("Fire", flames(Ramp{0x000000, 0x8A1000, 0xF05A00, 0xFFC830, 0xFFFFD0}, 2, 2.0, 318), 160),
        P("Smoke", clouds(Ramp{0x101010, 0x3A3A3E, 0x7A7A80, 0xC8C8CC}, 2, 7, 0.6, 319), 160, 0, 50),
        P("Caustics", caustics(Ramp{0x003A4A, 0x00707E, 0x3AC0C8, 0xE0FFFF}, 3, 320), 160),
        P("Leopard", leopard(0xD8A050, 0x1A1008, 0xB07030, 6, 321), 160),
        P("Zebra", animalStripes(0xF0ECE4, 0x101010, 6, 0.35, 0.45, 322), 160),
        P("Giraffe", cellStones(Ramp{0xB8702A, 0xC8803A, 0xA86020}, 0xF0E0C0, 5, 0.1, 0.2, 323, 1.0, 0.1), 160),
        P("Tiger", animalStripes(0xE0801E, 0x140A04, 8, 0.3, 0.7, 324), 160),
        P("Orange Peel", hammered(Ramp{0x8A3A00, 0xE07A10, 0xFFA830, 0xFFE0A0}, 20, 2.0, 325)),
        P("Lizard", hexagons(Ramp{0x3A5A1A, 0x5A8A2A, 0x8AB84A}, 0x1A2A0A, 10, 0.08, 0.8, 326)),
        P("Checkers", checker(0xF0F0F0, 0x1A1A1A, 8, 0.0, 0.0, 327), 128, 50, 50),
        P("Diamonds", argyle(0xD8B040, 0x1A3A6A, 0x0A0A0A, 4), 128, 50, 50),
        P("Triangles", triangles(Ramp{0xE8D8B0, 0xD86A3A, 0x2A6A8A, 0x1A2A3A}, 6, 329)),
        P("Circles", concentric(Ramp{0x0A1A3A, 0x2A5AAA, 0xE8E0D0}, 4, 3, 330)),
        P("Op Art", concentric(Ramp{0x000000, 0xFFFFFF}, 2, 6, 331), 128, 0, 32),
        P("Labyrinth", truchet(0x1A1A2A, 0xE8C060, 8, 0.12, 332)),
        P("Truchet", truchet(0xE8E0D0, 0x2A6A8A, 6, 0.2, 333)),
        P("Lattice", mesh(Ramp{0x3A2410, 0x8A6030, 0xD0A060}, 0xF0E8D8, 6, 0.15)),
        P("Grid", tiles(Ramp{0x1A1A1E, 0x2A2A30}, 0x40E0F0, 8, 0.03, 0.2, 335), 128, 0, 34),
        P("Dots", dots(0x1A2A4A, 0xF0D060, 8, 0.2, false, 0.0), 128, 50, 50),
        P("Pinstripe", stripes(Ramp{0x1A1A22, 0x1A1A22, 0x1A1A22, 0x9A9AA8}, 16, 0, 0.0, 337), 128, 50, 50),
        P("Chevron", zigzag(Ramp{0x0A3A5A, 0xF0E8D8, 0xE05A3A, 0xF0E8D8}, 6, 3, 338), 128, 16, 40),
        P("Fish Scales", scales(Ramp{0x1A3A6A, 0x4A8AC8, 0xC8E8FF}, 0x0A1A2A, 6, 8, 339)),
        P("Circuit", truchet(0x0A3A1A, 0x8AE0A0, 12, 0.06, 340), 128, 16, 40),
    };
}

}  // namespace

std::vector<DatabaseSpec> factoryDatabases() {
    return {
        {"Textures.8tx", classics()},
        {"Textures02.8tx", stones()},
        {"Textures03.8tx", woodsAndFabrics()},
        {"Textures04.8tx", metalsAndShapes()},
    };
}

}  // namespace qm::patterns
