// Microbenchmarks of the hot path of a batch run: one probe of a cached file next to the bare
// system calls it makes, number text, a report's prompt, a JSON line, and what --details adds.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "cli/format.h"
#include "probe/details.h"
#include "probe/reports.h"
#include "probe/sondur.h"
#include "runtime/memory_file_system.h"
#include "runtime/number_text.h"
#include "wave_builder.h"

namespace {

class SilentSink : public pelorin::MessageBoxSink {
 public:
  int show(pelorin::PromptView, std::int32_t, std::optional<std::string_view>) override {
    return pelorin::kOkAnswer;
  }
};

// A canonical file in a temporary folder, removed at exit.
const std::string& cachedWave() {
  static const std::string path = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "pelorin-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) std::abort();
    const std::string file = folder + "/tone.wav";
    pelorin::writeFile(file, pelorin::canonicalWave());
    std::atexit([] { std::filesystem::remove_all(std::filesystem::path(path).parent_path()); });
    return file;
  }();
  return path;
}

pelorin::ProbeOutcome probedOnce() {
  SilentSink sink;
  pelorin::RuntimeContext ctx(sink);
  return pelorin::probeWaveFile(ctx, cachedWave());
}

void ProbeCachedFile(benchmark::State& state) {
  SilentSink sink;
  pelorin::RuntimeContext ctx(sink);
  pelorin::ProbeOutcome outcome;
  for (auto _ : state) {
    outcome = pelorin::probeWaveFile(ctx, cachedWave(), std::move(outcome));
    benchmark::DoNotOptimize(outcome.result);
  }
}
BENCHMARK(ProbeCachedFile);

// What the system calls of one probe cost on their own (stat, open, one read of the head,
// close): the distance from ProbeCachedFile is the probe's own work.
void SystemCallsOfAProbe(benchmark::State& state) {
  char head[1024];
  for (auto _ : state) {
    struct stat status;
    ::stat(cachedWave().c_str(), &status);
    const int fd = ::open(cachedWave().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    benchmark::DoNotOptimize(::pread(fd, head, sizeof head, 0));
    ::close(fd);
  }
}
BENCHMARK(SystemCallsOfAProbe);

// The floor's calls (open, a read of 128 bytes, close): the distance from SystemCallsOfAProbe
// is what looking at a path before opening it costs.
void SystemCallsOfTheFloor(benchmark::State& state) {
  char head[128];
  for (auto _ : state) {
    const int fd = ::open(cachedWave().c_str(), O_RDONLY | O_CLOEXEC);
    benchmark::DoNotOptimize(::pread(fd, head, sizeof head, 0));
    ::close(fd);
  }
}
BENCHMARK(SystemCallsOfTheFloor);

void NumberTextOfADouble(benchmark::State& state) {
  std::string text;
  double value = 1.0 / 176400;
  for (auto _ : state) {
    text.clear();
    pelorin::appendStr(text, value);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(NumberTextOfADouble);

void NumberTextOfAnInteger(benchmark::State& state) {
  std::string text;
  for (auto _ : state) {
    text.clear();
    pelorin::appendStr(text, std::int32_t{44100});
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(NumberTextOfAnInteger);

void InformationPrompt(benchmark::State& state) {
  const pelorin::ProbeOutcome outcome = probedOnce();
  pelorin::Prompt prompt;
  for (auto _ : state) {
    pelorin::informationPrompt(prompt, cachedWave(), outcome.values);
    benchmark::DoNotOptimize(prompt.text.data());
  }
}
BENCHMARK(InformationPrompt);

void JsonLine(benchmark::State& state) {
  const pelorin::ProbeOutcome outcome = probedOnce();
  std::string out;
  pelorin::cli::FormatScratch scratch;
  for (auto _ : state) {
    out.clear();
    pelorin::cli::appendJsonReport(out, cachedWave(), outcome, scratch);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(JsonLine);

// A probe with --details: the probe, then the details through the same open file.
void ProbeCachedFileWithDetails(benchmark::State& state) {
  SilentSink sink;
  pelorin::RuntimeContext ctx(sink);
  pelorin::ProbeOutcome outcome;
  for (auto _ : state) {
    outcome =
        pelorin::probeWaveFile(ctx, cachedWave(), std::move(outcome), pelorin::WithDetails::kYes);
    benchmark::DoNotOptimize(outcome.details);
  }
}
BENCHMARK(ProbeCachedFileWithDetails);

// The details parser alone, on a canonical file in memory.
void DetailsOfACanonicalFile(benchmark::State& state) {
  pelorin::MemoryFileSystem files;
  files.add("/memory/tone.wav", pelorin::canonicalWave());
  auto opened = files.open("/memory/tone.wav").file;
  pelorin::WaveDetails details;
  for (auto _ : state) {
    details = pelorin::readWaveDetails(*opened, std::move(details));
    benchmark::DoNotOptimize(details.frames);
  }
}
BENCHMARK(DetailsOfACanonicalFile);

// Four LIST chunks of 1 MiB, each of about 131,000 tags with identifiers all different: the
// tags met are looked up once each, so the time grows with the bytes, not with their square.
void DetailsOfFourMiBOfTags(benchmark::State& state) {
  pelorin::WaveBuilder builder;
  std::uint32_t id = 0x41000000;
  for (int list = 0; list < 4; ++list) {
    std::string body = "INFO";
    for (std::size_t bytes = 12; bytes <= (1u << 20); bytes += 8) {
      body += pelorin::le32(id++) + pelorin::le32(0);
    }
    builder.chunk("LIST", body);
  }
  pelorin::MemoryFileSystem files;
  files.add("/memory/tags.wav", builder.fmt(1, 1, 8000, 8).data(8).bytes());
  const auto source = files.open("/memory/tags.wav").source;
  pelorin::WaveDetails details;
  for (auto _ : state) {
    details = pelorin::readWaveDetails(*source, std::move(details));
    benchmark::DoNotOptimize(details.info.size());
  }
}
BENCHMARK(DetailsOfFourMiBOfTags)->Unit(benchmark::kMillisecond);

void JsonLineWithDetails(benchmark::State& state) {
  const pelorin::ProbeOutcome outcome = probedOnce();
  pelorin::MemoryFileSystem files;
  files.add("/memory/tone.wav", pelorin::canonicalWave());
  pelorin::OpenResult opened = files.open("/memory/tone.wav");
  const pelorin::WaveDetails details = pelorin::readWaveDetails(*opened.file);
  std::string out;
  pelorin::cli::FormatScratch scratch;
  for (auto _ : state) {
    out.clear();
    pelorin::cli::appendJsonReport(out, cachedWave(), outcome, scratch, &details);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(JsonLineWithDetails);

}  // namespace

BENCHMARK_MAIN();
