// A console reporter that also prints, after all runs, each figure beside its baseline from the
// same run and their ratio. With repetitions each figure is shown as the minimum and the median
// of the repetitions' means, and the ratio is that of the medians.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
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
      seconds_[run.run_name.function_name].push_back(run.real_accumulated_time / run.iterations);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-32s %17s   %-32s %17s %7s %6s\n", "figure", "ms min / median", "baseline",
                "ms min / median", "ratio", "goal");
    for (const Ratio& ratio : ratios_) {
      auto figure = seconds_.find(ratio.figure), baseline = seconds_.find(ratio.baseline);
      if (figure == seconds_.end() || baseline == seconds_.end()) {
        std::printf("%-32s (not measured)\n", ratio.figure.c_str());
        continue;
      }
      const double figureMedian = Median(figure->second), baselineMedian = Median(baseline->second);
      if (baselineMedian <= 0) continue;
      const double quotient = figureMedian / baselineMedian;
      std::printf("%-32s %8.2f /%8.2f   %-32s %8.2f /%8.2f %6.2fx", ratio.figure.c_str(),
                  Min(figure->second) * 1e3, figureMedian * 1e3, ratio.baseline.c_str(),
                  Min(baseline->second) * 1e3, baselineMedian * 1e3, quotient);
      if (ratio.goal > 0) {
        std::printf(" %5.1fx %s\n", ratio.goal, quotient <= ratio.goal ? "met" : "MISSED");
      } else {
        std::printf("      -\n");
      }
    }
    std::fflush(stdout);
  }

 private:
  static double Min(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
  }
  static double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 == 1 ? values[half] : (values[half - 1] + values[half]) / 2;
  }

  std::vector<Ratio> ratios_;
  std::map<std::string, std::vector<double>> seconds_;
};

}  // namespace bench_report
