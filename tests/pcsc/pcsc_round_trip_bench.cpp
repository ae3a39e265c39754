// One APDU round trip through pcscd to the emulated token, beside the same
// round trip to the trivial card (90 00 to everything) in the other virtual
// reader; the ratio of the two is what the token and tkp30-vcard add.
// The suite script inserts the token in the first reader and the trivial
// card in the second, and runs repetitions in random interleaving so that
// both see the same machine load.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iostream>
#include <map>
#include <string>

#include "dmcos/pcsc_handles.h"
#include "pcsc/virtual_readers.h"

namespace {

constexpr std::array<std::uint8_t, 5> kGetChallenge = {0x00, 0x84, 0x00, 0x00, 0x08};
constexpr char kTokenRun[] = "RoundTrip/token";
constexpr char kTrivialRun[] = "RoundTrip/trivial";

void roundTrip(benchmark::State& state, const char* reader) {
  const dmcos::pcsc::Context context;
  dmcos::pcsc::Connection connection;
  if (!context.valid() || connection.connect(context, reader) != SCARD_S_SUCCESS) {
    state.SkipWithError("no card in the reader");
    return;
  }
  std::array<std::uint8_t, 258> response{};
  for (auto _ : state) {
    DWORD len = static_cast<DWORD>(response.size());
    if (SCardTransmit(connection.get(), connection.pci(), kGetChallenge.data(),
                      static_cast<DWORD>(kGetChallenge.size()), nullptr, response.data(),
                      &len) != SCARD_S_SUCCESS) {
      state.SkipWithError("transmit failed");
      return;
    }
  }
}

// Console output as usual, plus each benchmark's best repetition: on a
// shared machine the fastest repetition is the one least disturbed. When
// only aggregates are reported, the median stands in.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  RecordingReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred && run.iterations > 0 && representative(run))
        record(run.run_name.function_name, run.GetAdjustedRealTime());
    ConsoleReporter::ReportRuns(runs);
  }

  std::map<std::string, double> times;

 private:
  static bool representative(const Run& run) {
    return run.run_type == Run::RT_Iteration || run.aggregate_name == "median";
  }
  void record(const std::string& name, double time) {
    const auto [entry, fresh] = times.try_emplace(name, time);
    if (!fresh) entry->second = std::min(entry->second, time);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark(kTrivialRun, roundTrip, pcsctest::kSecondReader.name)
      ->Unit(benchmark::kMicrosecond)->UseRealTime();
  benchmark::RegisterBenchmark(kTokenRun, roundTrip, pcsctest::kFirstReader.name)
      ->Unit(benchmark::kMicrosecond)->UseRealTime();
  benchmark::Initialize(&argc, argv);
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (!reporter.times.count(kTokenRun) || !reporter.times.count(kTrivialRun)) {
    std::cerr << "round trip ratio: not measured (a card is missing)\n";
    return 1;
  }
  std::cout << "round trip ratio token/trivial: "
            << reporter.times[kTokenRun] / reporter.times[kTrivialRun] << '\n';
  return 0;
}
