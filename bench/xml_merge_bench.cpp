// The merge of a client's changed MBP document into the stored one (CMBPEntity::mergeChanges,
// as a document update runs it), beside one parse and one serialisation of the same stored
// document. Documents of about 10k, 100k and 1M elements in two shapes: "mixed" (long
// sibling lists of defaults plus steps holding deep chains of blocks) and "wide" (almost
// every element a sibling in one list of defaults).
//
// The client's copy marks every 10th default and every 7th step's middle block dirty, edits
// leaf texts without marking them, adds 1% new defaults and lacks every 50th default.
// BM_MergeChanges reports, as counters, the merge's CPU time beside the CPU time of one parse
// and one serialisation of the stored document taken in the same iterations, and their ratio.
#include <benchmark/benchmark.h>

#include <time.h>

#include <memory>
#include <string>

#include "xml/MBPEntity.h"

namespace {

enum Shape { kMixed = 0, kWide = 1 };

constexpr int kChainDepth = 32;  // nested blocks per step in the mixed shape

void AppendDefaults(std::string& out, const char* group, long count, bool changed) {
  out += "<";
  out += group;
  out += "><defaults>";
  for (long i = 0; i < count; ++i) {
    if (changed && i % 50 == 49) continue;  // the client lacks it
    const bool dirty = changed && i % 10 == 0;
    out += "<default pkid=\"ENV" + std::to_string(i) + "\" refid=\"" + std::to_string(dirty ? i + 1 : i) + "\"" +
           (dirty ? " dirty=\"1\"" : "") + "/>";
  }
  if (changed) {
    for (long i = 0; i < count / 100; ++i) out += "<default pkid=\"NEW" + std::to_string(i) + "\" refid=\"7\"/>";
  }
  out += "</defaults></";
  out += group;
  out += ">";
}

void AppendStep(std::string& out, long step, bool changed) {
  out += "<step pkid=\"S" + std::to_string(step) + "\" name=\"Step " + std::to_string(step) + "\">";
  for (int level = 0; level < kChainDepth; ++level) {
    const bool dirty = changed && step % 7 == 0 && level == kChainDepth / 2;
    out += "<block pkid=\"B" + std::to_string(level) + "\"" + (dirty ? " dirty=\"1\"" : "") + ">";
    out += "<param>" + std::string(changed && level % 4 == 0 ? "edited" : "value") + std::to_string(level) + "</param>";
  }
  for (int level = 0; level < kChainDepth; ++level) out += "</block>";
  out += "</step>";
}

// An MBP document of about `elements` elements; the client's changed copy when `changed`.
std::string MakeMbp(long elements, Shape shape, bool changed) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><mbp lastmodified=\"2004-03-01 17:05:09\">";
  out += "<bp id=\"Alpha/Billing\" name=\"Billing\">";
  const long wide = shape == kWide ? elements : elements * 2 / 5;
  AppendDefaults(out, "datasets", wide / 2, changed);
  AppendDefaults(out, "profiles", wide - wide / 2, changed);
  if (shape == kMixed) {
    out += "<steps>";
    const long steps = (elements - wide) / (2 * kChainDepth + 1);
    for (long s = 0; s < steps; ++s) AppendStep(out, s, changed);
    out += "</steps>";
  }
  out += "</bp></mbp>";
  return out;
}

double ThreadCpuMs() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void SetLabel(benchmark::State& state) {
  state.SetLabel(state.range(1) == kWide ? "wide" : "mixed");
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The merge's time, and beside it, measured in the same iterations (so that load on the
// machine affects both alike), one parse and one serialisation of the stored document:
// the counters merge_ms, parse_serialise_ms and their ratio.
void BM_MergeChanges(benchmark::State& state) {
  const Shape shape = static_cast<Shape>(state.range(1));
  const std::string stored = MakeMbp(state.range(0), shape, false);
  const std::string changed = MakeMbp(state.range(0), shape, true);
  double mergeMs = 0;
  double baselineMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const double parseStart = ThreadCpuMs();
    auto current = std::make_unique<CMBPEntity>(stored);
    std::string text = current->getXml();
    baselineMs += ThreadCpuMs() - parseStart;
    benchmark::DoNotOptimize(text);
    auto client = std::make_unique<CMBPEntity>(changed);
    state.ResumeTiming();
    const double mergeStart = ThreadCpuMs();
    bool merged = current->mergeChanges(*client, "dirty", "1", CXmlBasicQKParser::MERGE_ADD);
    mergeMs += ThreadCpuMs() - mergeStart;
    benchmark::DoNotOptimize(merged);
    state.PauseTiming();
    current.reset();  // freeing the documents is not the merge's work
    client.reset();
    state.ResumeTiming();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["merge_ms"] = mergeMs / n;
  state.counters["parse_serialise_ms"] = baselineMs / n;
  state.counters["ratio"] = mergeMs / baselineMs;
  SetLabel(state);
}

void BM_ParseAndSerialise(benchmark::State& state) {
  const std::string stored = MakeMbp(state.range(0), static_cast<Shape>(state.range(1)), false);
  for (auto _ : state) {
    auto current = std::make_unique<CMBPEntity>();
    current->loadXml(stored);
    std::string text = current->getXml();
    benchmark::DoNotOptimize(text);
    state.PauseTiming();
    current.reset();
    state.ResumeTiming();
  }
  SetLabel(state);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (long shape : {kMixed, kWide})
    for (long elements : {10'000L, 100'000L, 1'000'000L}) b->Args({elements, shape});
  b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_MergeChanges)->Apply(Sizes);
BENCHMARK(BM_ParseAndSerialise)->Apply(Sizes);

BENCHMARK_MAIN();
