// A console reporter that also prints, after all runs, each figure beside its baseline from the
// same run and their ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench_report {

struct Ratio {
  std::string figure;    // benchmark name
  std::string baseline;  // benchmark name
  double goal;           // the ratio aimed at; 0 for none
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::vector<Ratio> ratios) : ratios_(std::move(ratios)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0 || run.run_type != Run::RT_Iteration) continue;
      seconds_[run.run_name.function_name] = run.real_accumulated_time / run.iterations;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-36s %12s   %-32s %12s %8s %8s\n", "figure", "ms", "baseline", "ms", "ratio",
                "goal");
    for (const Ratio& ratio : ratios_) {
      auto figure = seconds_.find(ratio.figure), baseline = seconds_.find(ratio.baseline);
      if (figure == seconds_.end() || baseline == seconds_.end() || baseline->second <= 0) {
        std::printf("%-36s (not measured)\n", ratio.figure.c_str());
        continue;
      }
      std::printf("%-36s %12.3f   %-32s %12.3f %7.2fx", ratio.figure.c_str(),
                  figure->second * 1e3, ratio.baseline.c_str(), baseline->second * 1e3,
                  figure->second / baseline->second);
      if (ratio.goal > 0) {
        std::printf(" %7.1fx\n", ratio.goal);
      } else {
        std::printf("        -\n");
      }
    }
    std::fflush(stdout);
  }

 private:
  std::vector<Ratio> ratios_;
  std::map<std::string, double> seconds_;
};

}  // namespace bench_report
