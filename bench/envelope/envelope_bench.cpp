// How long the envelope reader takes for answers of 100,000 and 1,000,000
// elements, and the ratio of the two (about 10 when reading is linear).
// Each element is also asked for an attribute, as the handlers do.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/tarvo_conduit.h"

namespace {

std::string Answer(int elements) {
  std::string page = "<html><body><tarvoconduit>\n";
  for (int i = 0; i < elements; ++i) {
    page += "<rdel db=\"News\" xid=\"" + std::to_string(i) + "\" id=\"" + std::to_string(i) + "\"/>\n";
  }
  page += "</tarvoconduit></body></html>";
  return page;
}

std::size_t ReadAll(const std::string& page) {
  CTarvoConduit engine;
  engine.ParseResponse(page);
  std::size_t total = 0;
  for (const std::string& cmd : engine.m_commands) total += CTarvoConduit::GetAttribute(cmd, "id", "").size();
  return total;
}

void BM_Envelope(benchmark::State& state) {
  const std::string page = Answer(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ReadAll(page));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Envelope)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

double Seconds(int elements) {
  const std::string page = Answer(elements);
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ReadAll(page));
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double small = Seconds(100000);
  const double large = Seconds(1000000);
  std::printf("envelope of 100000 elements: %.3f s\nenvelope of 1000000 elements: %.3f s\nratio: %.1f\n", small, large,
              large / small);
  return 0;
}
