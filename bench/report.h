// One row of the performance table. scripts/bench gathers the lines that start with "FIGURE"
// from every benchmark into one table.
#pragma once

#include <cstdio>

// `target` is the ratio's upper bound, or 0 for a figure that is reported without a target.
inline void Report_figure(const char* figure, double value, const char* unit, const char* reference,
                          double referenceValue, double target) {
    const double ratio = referenceValue > 0 ? value / referenceValue : 0;
    char targetText[32] = "-";
    if (target > 0) {
        std::snprintf(targetText, sizeof targetText, "<= %.2f %s", target,
                      ratio <= target ? "met" : "MISSED");
    }
    if (referenceValue <= 0) {
        std::printf("FIGURE\t%s\t%.2f %s\t-\t-\t-\n", figure, value, unit);
    } else {
        std::printf("FIGURE\t%s\t%.2f %s\t%s: %.2f %s\t%.3f\t%s\n", figure, value, unit, reference,
                    referenceValue, unit, ratio, targetText);
    }
    std::fflush(stdout);
}
