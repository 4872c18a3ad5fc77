// Throughput of the stored-file format on text-like and random content of 1 MB and 50 MB.
#include <benchmark/benchmark.h>

#include <random>

#include "runtime/packed_file.h"

namespace {

// Lines of snippet-like source text: compresses well, as usage texts do.
Bytes TextLike(std::size_t size) {
  static const char* const kWords[] = {"int", "return", "while", "if", "(i = 0;", "buffer",
                                       "const", "Text", "{", "}", "// note", "0x3E0F0D"};
  std::mt19937 rng(7);
  Bytes out;
  out.reserve(size);
  while (out.size() < size) {
    const char* w = kWords[rng() % 12];
    while (*w && out.size() < size) out.push_back(static_cast<std::uint8_t>(*w++));
    if (out.size() < size) out.push_back(rng() % 8 == 0 ? '\n' : ' ');
  }
  return out;
}

// Already packed pictures and archives look like this: nothing to gain.
Bytes RandomBytes(std::size_t size) {
  std::mt19937 rng(11);
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

Bytes Content(int kind, std::size_t size) { return kind == 0 ? TextLike(size) : RandomBytes(size); }

void BM_Compress(benchmark::State& state) {
  const Bytes content = Content(static_cast<int>(state.range(0)), static_cast<std::size_t>(state.range(1)));
  for (auto _ : state) benchmark::DoNotOptimize(CompressBytes(content));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(content.size()));
  state.SetLabel(state.range(0) == 0 ? "text-like" : "random");
}

void BM_Decompress(benchmark::State& state) {
  const Bytes content = Content(static_cast<int>(state.range(0)), static_cast<std::size_t>(state.range(1)));
  const Bytes stored = CompressBytes(content);
  for (auto _ : state) benchmark::DoNotOptimize(DecompressBytes(stored));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(content.size()));
  state.SetLabel(state.range(0) == 0 ? "text-like" : "random");
}

constexpr std::int64_t kOneMb = 1 << 20;

void Sizes(benchmark::internal::Benchmark* b) {
  for (std::int64_t kind : {0, 1}) {
    for (std::int64_t size : {kOneMb, 50 * kOneMb}) b->Args({kind, size});
  }
  b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_Compress)->Apply(Sizes);
BENCHMARK(BM_Decompress)->Apply(Sizes);
