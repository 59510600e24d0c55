// Families of seamless pictures, each a function of its parameters.
#pragma once

#include <cstdint>

#include "tools/patterns/procedural.h"

namespace qm::patterns::kinds {

PixelFn marble(Ramp ramp, int kx, int ky, double turbulence, double sharpness, uint32_t seed);
PixelFn wood(Ramp ramp, int rings, double warp, double grain, uint32_t seed, bool planks = false);
PixelFn granite(Ramp base, Ramp specks, int cells, double speckDensity, uint32_t seed);
PixelFn cellStones(Ramp ramp, uint32_t mortar, int cells, double gap, double bump, uint32_t seed,
                   double jitter = 0.9, double roughness = 0.25);
PixelFn stainedGlass(int cells, uint32_t seed);
PixelFn weave(uint32_t warpColour, uint32_t weftColour, int threads, int kind, double fuzz, uint32_t seed);
PixelFn checker(uint32_t a, uint32_t b, int squares, double bevel, double grain, uint32_t seed);
PixelFn stripes(Ramp ramp, int kx, int ky, double wobble, uint32_t seed);
PixelFn zigzag(Ramp ramp, int count, int teeth, uint32_t seed);
PixelFn waves(Ramp ramp, int count, int waveCount, double amplitude, uint32_t seed);
PixelFn dots(uint32_t background, uint32_t dot, int count, double radius, bool staggered, double relief);
PixelFn hexagons(Ramp ramp, uint32_t border, int columns, double borderWidth, double bump, uint32_t seed);
PixelFn scales(Ramp ramp, uint32_t edge, int columns, int rows, uint32_t seed);
PixelFn bricks(Ramp brick, uint32_t mortar, int rows, int columns, double gap, uint32_t seed);
PixelFn tiles(Ramp ramp, uint32_t grout, int count, double gap, double variation, uint32_t seed);
PixelFn orbs(Ramp ramp, uint32_t background, int count, double radius, bool staggered, uint32_t seed);
PixelFn worms(Ramp ramp, uint32_t background, int frequency, double thickness, uint32_t seed);
PixelFn hair(Ramp ramp, int strands, int waviness, double contrast, uint32_t seed);
PixelFn brush(Ramp ramp, int cells, double streaks, uint32_t seed);
PixelFn melon(uint32_t light, uint32_t dark, int stripeCount, double warp, uint32_t seed);
PixelFn lumps(Ramp ramp, int cells, double gloss, uint32_t seed);
PixelFn clouds(Ramp ramp, int frequency, int octaves, double gain, uint32_t seed);
PixelFn flames(Ramp ramp, int frequency, double sharpness, uint32_t seed);
PixelFn leather(Ramp ramp, int cells, double crease, double bump, uint32_t seed);
PixelFn crackle(Ramp base, uint32_t crack, int cells, double width, uint32_t seed);
PixelFn leopard(uint32_t base, uint32_t ring, uint32_t centre, int cells, uint32_t seed);
PixelFn animalStripes(uint32_t base, uint32_t stripe, int count, double warp, double width, uint32_t seed);
PixelFn caustics(Ramp ramp, int frequency, uint32_t seed);
PixelFn bubbles(Ramp ramp, uint32_t background, int cells, double radius, uint32_t seed);
PixelFn truchet(uint32_t background, uint32_t line, int count, double width, uint32_t seed);
PixelFn brushedMetal(Ramp ramp, int streaks, double sheen, uint32_t seed);
PixelFn hammered(Ramp ramp, int cells, double depth, uint32_t seed);
PixelFn diamondPlate(Ramp ramp, int count, uint32_t seed);
PixelFn corrosion(Ramp metal, Ramp rust, int frequency, double amount, uint32_t seed);
PixelFn plaid(Ramp ramp, int count, const int* bands, int bandCount, double weaveTexture, uint32_t seed);
PixelFn houndstooth(uint32_t a, uint32_t b, int count);
PixelFn argyle(uint32_t a, uint32_t b, uint32_t line, int count);
PixelFn concentric(Ramp ramp, int cells, int ringsPerCell, uint32_t seed);
PixelFn crystals(Ramp ramp, int cells, uint32_t seed);
PixelFn banded(Ramp ramp, int frequency, double bands, double warp, uint32_t seed);
PixelFn layers(Ramp ramp, int count, double warp, uint32_t seed);
PixelFn ribs(Ramp ramp, int count, double softness, uint32_t seed);
PixelFn knit(uint32_t colour, int columns, int rows, uint32_t seed);
PixelFn chainmail(Ramp ramp, uint32_t background, int count);
PixelFn stalks(Ramp ramp, int count, int nodes, uint32_t seed);
PixelFn fibres(Ramp ramp, int frequency, double fibreAmount, uint32_t seed);
PixelFn triangles(Ramp ramp, int count, uint32_t seed);
PixelFn lace(uint32_t background, uint32_t thread, int count);
PixelFn feathers(Ramp ramp, int columns, int rows, uint32_t seed);
PixelFn sponge(Ramp ramp, uint32_t hole, int cells, double holes, uint32_t seed);
PixelFn terrazzo(uint32_t base, Ramp chips, int cells, double size, uint32_t seed);
PixelFn mesh(Ramp ramp, uint32_t background, int count, double wire);

}  // namespace qm::patterns::kinds
