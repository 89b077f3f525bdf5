// Path cache benchmarks: turning a 10,000-edge shape into paths (once per character), and
// drawing the cached result (every frame).

#include "swf/render/CompiledShape.h"
#include "swf/render/RasterCache.h"
#include "swf/render/ShapePainter.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>

using namespace swf::render;

namespace {

// A star-like outline of `edges` straight and curved edges: a gradient fill outside a
// ring whose inner half belongs to a second, flat fill, and a stroke along it all.
ShapeGeometry bigShape(int edges, bool stroked = true) {
    ShapeGeometry g;
    FillStyle grad;
    grad.kind = FillStyle::Kind::Radial;
    grad.stops = {{0, {255, 0, 0, 255}}, {255, {0, 0, 255, 255}}};
    grad.matrix = QTransform::fromScale(0.4, 0.4);
    FillStyle flat;
    flat.color = {0, 160, 0, 255};
    g.fills = {grad, flat};
    LineStyle line;
    line.width = 30;
    g.lines = {line};
    QPointF prev(6000, 0);
    for (int i = 1; i <= edges; ++i) {
        const double a = 2 * M_PI * i / edges;
        const double r = i % 2 ? 5960 : 6000; // a finely notched outline, like a traced map
        const QPointF p(std::round(r * std::cos(a)), std::round(r * std::sin(a)));
        Edge e;
        e.from = prev;
        e.to = p;
        e.curved = i % 3 == 0;
        e.control = (prev + p) / 2 + QPointF(40, 40);
        // The edge separates the gradient (left, outside) from the flat fill (right, inside).
        e.fill0 = 0;
        e.fill1 = 1;
        e.line = stroked ? 1 : 0;
        g.edges.push_back(e);
        prev = p;
    }
    return g;
}

void BM_CompileShape(benchmark::State& state) {
    const ShapeGeometry g = bigShape(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(compileShape(g));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CompileShape)->Arg(10000)->Unit(benchmark::kMillisecond);

// One compiled shape drawn again and again, with its strokes or its fills alone.
void drawCached(benchmark::State& state, bool stroked) {
    const CompiledShape shape = compileShape(bigShape(static_cast<int>(state.range(0)), stroked));
    QImage img(640, 640, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    ShapePainter painter;
    const QTransform toDevice = QTransform::fromScale(0.05, 0.05) * QTransform::fromTranslate(320, 320);
    for (auto _ : state) {
        painter.draw(p, shape, toDevice, ColorTransform{});
        benchmark::ClobberMemory();
    }
}

void BM_DrawCachedShape(benchmark::State& state) {
    drawCached(state, true);
}
BENCHMARK(BM_DrawCachedShape)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_DrawCachedFillsOnly(benchmark::State& state) {
    drawCached(state, false);
}
BENCHMARK(BM_DrawCachedFillsOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

// What a shape that stays put (or only moves) costs from the second frame on.
void BM_DrawFromRasterCache(benchmark::State& state) {
    const CompiledShape shape = compileShape(bigShape(static_cast<int>(state.range(0))));
    QImage img(640, 640, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    ShapePainter painter;
    RasterCache cache(painter);
    const QTransform toDevice = QTransform::fromScale(0.05, 0.05) * QTransform::fromTranslate(320, 320);
    cache.draw(p, shape, toDevice, ColorTransform{}, QTransform());
    for (auto _ : state) {
        cache.draw(p, shape, toDevice, ColorTransform{}, QTransform());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawFromRasterCache)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
