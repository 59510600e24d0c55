// Lumivex's final pass: the whole image with the default preset, a
// preview-sized image (scale 1), and a render that changes only the
// deformation, so the height map is reused and passes 1 to 3 are skipped.
#include <benchmark/benchmark.h>

#include <memory>

#include "tests/filters/lumivex/lens_harness.h"

using namespace qm;
using namespace qm::lumivex;

namespace {

std::unique_ptr<lumivex::test::LensRun> photo(int w, int h) {
    auto run = std::make_unique<lumivex::test::LensRun>(w, h);
    lumivex::test::fillTexture(*run, 42);
    return run;
}

void BM_FinalPass4000x3000(benchmark::State& st) {
    auto run = photo(4000, 3000);
    for (auto _ : st) {
        // A new session each time: the height map is built every render.
        run->renew();
        benchmark::DoNotOptimize(run->render(lumivex::test::sideways()));
    }
}
BENCHMARK(BM_FinalPass4000x3000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Render600x600(benchmark::State& st) {
    auto run = photo(600, 600);
    for (auto _ : st) {
        run->renew();
        benchmark::DoNotOptimize(run->render(lumivex::test::sideways()));
    }
}
BENCHMARK(BM_Render600x600)->Unit(benchmark::kMillisecond);

void BM_DeformationOnly4000x3000(benchmark::State& st) {
    auto run = photo(4000, 3000);
    LensSettings s = lumivex::test::sideways();
    run->render(s);
    for (auto _ : st) {
        s.deformation = s.deformation == 50 ? 80 : 50;
        benchmark::DoNotOptimize(run->render(s));
    }
}
BENCHMARK(BM_DeformationOnly4000x3000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DeformationOnly600x600(benchmark::State& st) {
    auto run = photo(600, 600);
    LensSettings s = lumivex::test::sideways();
    run->render(s);
    for (auto _ : st) {
        s.deformation = s.deformation == 50 ? 80 : 50;
        benchmark::DoNotOptimize(run->render(s));
    }
}
BENCHMARK(BM_DeformationOnly600x600)->Unit(benchmark::kMillisecond);

}  // namespace
