// One row of the performance table. scripts/bench gathers the lines that start with "FIGURE"
// from every benchmark into one table.
#pragma once

#include <cstdio>

// `target` is the ratio's upper bound, or 0 for a figure that is reported without a target.
inline void ReportFigure(const char* figure, double value, const char* unit, const char* reference,
                         double reference_value, double target) {
    const double ratio = reference_value > 0 ? value / reference_value : 0;
    char target_text[32] = "-";
    if (target > 0) {
        std::snprintf(target_text, sizeof target_text, "<= %.2f %s", target,
                      ratio <= target ? "met" : "MISSED");
    }
    if (reference_value <= 0) {
        std::printf("FIGURE\t%s\t%.2f %s\t-\t-\t-\n", figure, value, unit);
    } else {
        std::printf("FIGURE\t%s\t%.2f %s\t%s: %.2f %s\t%.3f\t%s\n", figure, value, unit, reference,
                    reference_value, unit, ratio, target_text);
    }
    std::fflush(stdout);
}
