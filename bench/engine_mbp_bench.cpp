// GetMBP beside SetMBP of the same business process, through the WebDAV engine against a
// local server (bench/mbp.sh starts one, prepares a repository root on it and passes its URL in
// ZAN_REPOSITORY). The stored MBP document has about 100,000 elements in one of two shapes:
//   mixed     the shape of xml_merge_bench: long sibling lists of defaults plus steps holding
//             deep chains of blocks (many small parents, 34 levels deep);
//   template  the shape of the MBP template scaled up: datasets and profiles with their
//             defaults, and steps with input, output and a list of parameters (6 levels).
// The client's changed copy is that document with three elements marked dirty and edited.
//
// BM_SetVersusGet runs, in each iteration, one GetMBP (read and parse) and one SetMBP (lock,
// read, merge, write, unlock) and reports their mean wall times and the ratio set_ms / get_ms
// (load on the machine affects both alike), and the same for the client thread's CPU time
// (get_cpu_ms, set_cpu_ms, cpu_ratio). With ZAN_BENCH_PHASES=1 it also prints where one
// SetMBP's time goes, phase by phase, measured outside the engine with the same layers (after
// one unprinted round, so that the figures are those of a warm process).
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

#include "base/GenException.h"
#include "dav/DavADOManager.h"
#include "engine/ZanDavEngine.h"
#include "xml/MBPEntity.h"
#include "xml/XMLSet.h"

namespace {

enum Shape { kMixed = 0, kTemplate = 1 };
constexpr const char* kShapeNames[] = {"mixed", "template"};

constexpr int kChainDepth = 32;  // nested blocks per step (mixed)
constexpr int kParameters = 4;   // parameters per step (template)

// The mixed shape; with `changed`, default 5 of both groups and the middle block of step 3
// are marked dirty and carry new values (everything else as stored).
std::string MakeMixed(long elements, bool changed) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><mbp lastmodified=\"2004-03-01 17:05:09\">";
  out += "<bp id=\"Bench/Mixed\" name=\"Mixed\">";
  const long wide = elements * 2 / 5;
  for (const char* group : {"datasets", "profiles"}) {
    out += std::string("<") + group + "><defaults>";
    for (long i = 0; i < wide / 2; ++i) {
      const bool dirty = changed && i == 5;
      out += "<default pkid=\"ENV" + std::to_string(i) + "\" refid=\"" + std::to_string(dirty ? i + 1 : i) + "\"" +
             (dirty ? " dirty=\"1\"" : "") + "/>";
    }
    out += std::string("</defaults></") + group + ">";
  }
  out += "<steps>";
  const long steps = (elements - wide) / (2 * kChainDepth + 1);
  for (long s = 0; s < steps; ++s) {
    out += "<step pkid=\"S" + std::to_string(s) + "\" name=\"Step " + std::to_string(s) + "\">";
    for (int level = 0; level < kChainDepth; ++level) {
      const bool dirty = changed && s == 3 && level == kChainDepth / 2;
      out += "<block pkid=\"B" + std::to_string(level) + "\"" + (dirty ? " dirty=\"1\"" : "") + ">";
      out += "<param>" + std::string(dirty ? "edited" : "value") + std::to_string(level) + "</param>";
    }
    for (int level = 0; level < kChainDepth; ++level) out += "</block>";
    out += "</step>";
  }
  out += "</steps></bp></mbp>";
  return out;
}

// The template shape; with `changed`, default 5 of both groups and parameter P1 of step 3 are
// marked dirty and carry new values.
std::string MakeTemplateShaped(long elements, bool changed) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><mbp lastmodified=\"2004-03-01 17:05:09\">";
  out += "<bp id=\"Bench/Template\" name=\"Template\" version=\"1\"><description>Monthly billing run</description>"
         "<owner>Finance IT</owner>";
  constexpr long kDefaults = 100;
  const long items = elements / 10;  // datasets, and as many profiles
  for (const char* group : {"dataset", "profile"}) {
    out += std::string("<") + group + "s><defaults>";
    for (long i = 0; i < kDefaults; ++i) {
      const bool dirty = changed && i == 5;
      out += "<default pkid=\"ENV" + std::to_string(i) + "\" refid=\"" + std::to_string(dirty ? i + 1 : i) + "\"" +
             (dirty ? " dirty=\"1\"" : "") + "/>";
    }
    out += "</defaults>";
    for (long i = 0; i < items; ++i) {
      out += std::string("<") + group + " pkid=\"" + std::to_string(i) + "\" name=\"" + group + " " + std::to_string(i) +
             "\" rows=\"" + std::to_string(i * 7) + "\"/>";
    }
    out += std::string("</") + group + "s>";
  }
  out += "<steps>";
  const long steps = (elements - 2 * (kDefaults + items)) / (4 + kParameters);
  for (long s = 0; s < steps; ++s) {
    out += "<step pkid=\"" + std::to_string(s) + "\" name=\"Step " + std::to_string(s) + "\"><input>in_" +
           std::to_string(s) + "</input><output>out_" + std::to_string(s) + "</output><parameters>";
    for (int p = 0; p < kParameters; ++p) {
      const bool dirty = changed && s == 3 && p == 1;
      out += "<parameter pkid=\"P" + std::to_string(p) + "\" value=\"" + (dirty ? "edited" : "value") +
             std::to_string(p) + "\"" + (dirty ? " dirty=\"1\"" : "") + "/>";
    }
    out += "</parameters></step>";
  }
  out += "</steps></bp></mbp>";
  return out;
}

std::string MakeMbp(long elements, Shape shape, bool changed) {
  return shape == kMixed ? MakeMixed(elements, changed) : MakeTemplateShaped(elements, changed);
}

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The calling thread's CPU time: the client's own work, without the server's and without
// waiting for the machine (on a loaded machine wall times mostly measure the scheduler).
double ThreadCpuMs() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The repository root bench/mbp.sh prepared (ZAN_REPOSITORY: holding the templates), with a
// project and one business process per shape whose MBP document is the large one, made once
// per run.
struct Repository {
  std::string root;
  CDavADOManager dav;
  CZanDavEngine engine;

  Repository(std::string repositoryRoot, long elements) : root(std::move(repositoryRoot)) {
    XMLSet scratch, properties, response;
    engine.InitToZanServer(root, scratch);
    if (!engine.CreateProject(root, "Bench", properties, response))
      throw std::runtime_error("cannot create the project in " + root);
    for (const Shape shape : {kMixed, kTemplate}) {
      const std::string name = shape == kMixed ? "Mixed" : "Template";
      if (!engine.CreateBusinessProcess(root, "Bench", name, properties, response))
        throw std::runtime_error("cannot create the business process " + name + " in " + root);
      dav.SetFileStream(root + "/" + processId(shape) + "/MBP.xml", MakeMbp(elements, shape, false));
    }
  }
  static std::string processId(Shape shape) { return shape == kMixed ? "Bench/Mixed" : "Bench/Template"; }
};

Repository& Repo() {
  const char* root = std::getenv("ZAN_REPOSITORY");
  if (!root || !*root) throw std::runtime_error("ZAN_REPOSITORY is not set (run bench/mbp.sh)");
  static Repository repository(root, 100'000);
  return repository;
}

// Where one SetMBP's time goes, by the steps it takes (printed to standard error).
void PrintPhases(Repository& repo, Shape shape, const std::string& changedText, bool print) {
  const std::string url = repo.root + "/" + Repository::processId(shape) + "/MBP.xml";
  CMBPEntity changed(changedText);
  double t = NowMs();
  auto lap = [&t, print](const char* what) {
    const double now = NowMs();
    if (print) std::fprintf(stderr, "  %-28s %8.1f ms\n", what, now - t);
    t = now;
  };
  if (print) std::fprintf(stderr, "SetMBP phases (%s):\n", kShapeNames[shape]);
  const std::string token = repo.dav.LockItem(url, 30);
  lap("lock");
  std::string etag;
  const std::string stored = repo.dav.GetFileStream(url, &etag);
  lap("read");
  CMBPEntity current(stored);
  lap("parse stored");
  current.mergeChanges(changed, "dirty", "1", CXmlBasicQKParser::MERGE_ADD);
  lap("merge");
  current.setLastModified(GetTimeStamp());
  const std::string merged = current.getXml();
  lap("serialise");
  CDavADOManager::WriteCondition condition;
  condition.lockToken = token;
  repo.dav.SetFileStream(url, merged, condition);
  lap("write");
  repo.dav.UnlockItem(url, token);
  lap("unlock");
}

void BM_SetVersusGet(benchmark::State& state) {
  Repository* repoPtr = nullptr;
  try {
    repoPtr = &Repo();
  } catch (const CGenException& e) {
    state.SkipWithError(e.GetFullText().c_str());
    return;
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  Repository& repo = *repoPtr;
  const Shape shape = static_cast<Shape>(state.range(1));
  const std::string processId = Repository::processId(shape);
  const CMBPEntity changed(MakeMbp(state.range(0), shape, true));
  if (const char* phases = std::getenv("ZAN_BENCH_PHASES"); phases && std::string(phases) == "1") {
    for (const bool print : {false, true}) PrintPhases(repo, shape, changed.getXml(), print);
  }
  double getMs = 0;
  double setMs = 0;
  double getCpuMs = 0;
  double setCpuMs = 0;
  try {
    for (auto _ : state) {
      double start = NowMs();
      double cpu = ThreadCpuMs();
      {
        CMBPEntity entity;
        repo.engine.GetBusinessProcessMBP(processId, entity);
        benchmark::DoNotOptimize(entity);
      }
      getMs += NowMs() - start;
      getCpuMs += ThreadCpuMs() - cpu;
      start = NowMs();
      cpu = ThreadCpuMs();
      {
        XMLSet response;
        if (!repo.engine.SetBusinessProcessMBP(processId, changed, response)) state.SkipWithError("SetMBP: false");
      }
      setMs += NowMs() - start;
      setCpuMs += ThreadCpuMs() - cpu;
    }
  } catch (const CGenException& e) {
    state.SkipWithError(e.GetFullText().c_str());
    return;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["get_ms"] = getMs / n;
  state.counters["set_ms"] = setMs / n;
  state.counters["ratio"] = setMs / getMs;
  state.counters["get_cpu_ms"] = getCpuMs / n;
  state.counters["set_cpu_ms"] = setCpuMs / n;
  state.counters["cpu_ratio"] = setCpuMs / getCpuMs;
  state.SetLabel(kShapeNames[shape]);
}

}  // namespace

BENCHMARK(BM_SetVersusGet)->Args({100'000, kMixed})->Args({100'000, kTemplate})->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

BENCHMARK_MAIN();
