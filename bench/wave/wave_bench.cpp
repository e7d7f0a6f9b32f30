// The wave's judgement on populations made here: 200 references of 100 good units each; on each,
// 100 new good units and 10 units of each fault (2,000 of each in all), the smallest frequency
// shift flagged in 95 %, a drift of 0.02 % per unit, a step of one sigma and the EWMA's in-control
// run length; then the time of the features and the judgement per wave and the repeatability of
// the fit on one winding recorded 2,000 times.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/report.h"
#include "sim/population.h"
#include "wave/features.h"
#include "wave/judgement.h"
#include "wave/reference.h"

namespace {

constexpr int REFERENCES = 200;
constexpr int LEARN_UNITS = 100;
constexpr int GOOD_PER_REFERENCE = 100;
constexpr int FAULTY_PER_REFERENCE = 10;
constexpr int RUN_CAP = 5000;
constexpr int DRIFT_CAP = 1000;

struct Line {
    Population population;
    wave::Reference reference;
};

std::vector<Line> Learned() {
    std::vector<Line> lines;
    for (int r = 0; r < REFERENCES; ++r) {
        Population population(1000 + r);
        std::vector<Wave> units;
        for (int i = 0; i < LEARN_UNITS; ++i) {
            units.push_back(ToWave(population.Record(population.GoodUnit())));
        }
        lines.push_back({population, *wave::Learn(units)});
    }
    return lines;
}

bool Flagged(const wave::Reference& reference, const Wave& wave) {
    return wave::Judge(reference, wave, wave::Measure(wave)).alarm;
}

struct Rates {
    double flagged = 0.0;        // %
    double tester_passed = 0.0;  // %
};

// Units of `make` on every line, `per_line` each.
Rates Rate(std::vector<Line>& lines, int per_line, bool arcing,
           const std::function<Winding(Winding)>& make) {
    int flagged = 0, passed = 0, count = 0;
    for (Line& line : lines) {
        for (int i = 0; i < per_line; ++i, ++count) {
            const WaveBytes bytes =
                line.population.Record(make(line.population.GoodUnit()), arcing);
            passed += line.population.TesterPasses(bytes);
            flagged += Flagged(line.reference, ToWave(bytes));
        }
    }
    return {100.0 * flagged / count, 100.0 * passed / count};
}

double SmallestShift(std::vector<Line>& lines) {
    double low = 0.0, high = 0.01;
    for (int step = 0; step < 7; ++step) {
        const double middle = 0.5 * (low + high);
        const Rates rates =
            Rate(lines, FAULTY_PER_REFERENCE, false, [&](Winding w) { return Faster(w, middle); });
        (rates.flagged >= 95.0 ? high : low) = middle;
    }
    return 100.0 * high;
}

// Units from the start of a change until the watch or the judgement flags one; the tester's first
// N.G in `tester_ng` (0 when none within the cap).
int UnitsToFlag(Line& line, const std::function<Winding(Winding, int)>& make, int cap,
                int* tester_ng = nullptr, bool judge = true) {
    wave::DriftWatch watch(line.reference);
    for (int k = 1; k <= cap; ++k) {
        const WaveBytes bytes = line.population.Record(make(line.population.GoodUnit(), k));
        const Wave wave = ToWave(bytes);
        const wave::Features features = wave::Measure(wave);
        if (tester_ng && *tester_ng == 0 && !line.population.TesterPasses(bytes)) {
            *tester_ng = k;
        }
        const bool watched = !watch.Add(features).empty();
        if (watched || (judge && wave::Judge(line.reference, wave, features).alarm)) {
            return k;
        }
    }
    return cap;
}

void Drift(std::vector<Line>& lines) {
    std::vector<int> flags, tester;
    for (Line& line : lines) {
        int tester_ng = 0;
        flags.push_back(UnitsToFlag(
            line, [](Winding w, int k) { return Drifted(w, k); }, DRIFT_CAP, &tester_ng));
        tester.push_back(tester_ng);
    }
    std::sort(flags.begin(), flags.end());
    std::sort(tester.begin(), tester.end());
    double mean = 0.0;
    for (const int f : flags) {
        mean += f;
    }
    ReportFigure("wave: 0.02 %/unit drift, units to the flag (mean)", mean / flags.size(), "units",
                 "target", 60.0, 1.0);
    ReportFigure("wave: 0.02 %/unit drift, units to the flag (worst)", flags.back(), "units",
                 "target", 60.0, 1.0);
    ReportFigure("wave: 0.02 %/unit drift, tester's first N.G (median)", tester[tester.size() / 2],
                 "units", "-", 0.0, 0.0);
}

void Step(std::vector<Line>& lines) {
    double step = 0.0, in_control = 0.0;
    for (Line& line : lines) {
        const double sigma = line.reference.frequency.sd / line.reference.frequency.mean;
        step += UnitsToFlag(
            line, [&](Winding w, int) { return Faster(w, sigma); }, RUN_CAP, nullptr, false);
        in_control += UnitsToFlag(
            line, [](Winding w, int) { return w; }, RUN_CAP, nullptr, false);
    }
    ReportFigure("wave: one-sigma step, EWMA units to the flag (mean)", step / lines.size(),
                 "units", "target", 15.0, 1.0);
    const double arl = in_control / lines.size();
    ReportFigure("wave: EWMA in-control ARL", arl, "units", "-", 0.0, 0.0);
    ReportFigure("wave: EWMA false alarms in 370 good units", 370.0 / arl, "alarms", "one", 1.0,
                 1.0);
}

void TimePerWave(std::vector<Line>& lines) {
    std::vector<Wave> waves;
    for (int i = 0; i < 2000; ++i) {
        waves.push_back(ToWave(lines[0].population.Record(lines[0].population.GoodUnit())));
    }
    const auto start = std::chrono::steady_clock::now();
    int alarms = 0;
    for (const Wave& wave : waves) {
        alarms += Flagged(lines[0].reference, wave);
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ReportFigure("wave: features and judgement per wave", ms / waves.size(), "ms", "target", 0.5,
                 1.0);
    (void)alarms;
}

// The frequency's target is out of reach below about 5 cycles at this noise (the Cramér-Rao bound,
// wave/README.md): there it is reported against the target without holding the run to it.
void Repeatability(double frequency, const char* what_frequency, const char* what_damping,
                   bool frequency_held) {
    Population population(7);
    const Winding winding{frequency, SoundWinding().damping};
    double f = 0, f2 = 0, d = 0, d2 = 0;
    int n = 0;
    for (int i = 0; i < 2000; ++i) {
        const wave::Features features = wave::Measure(ToWave(population.Record(winding)));
        if (features.fittable) {
            f += features.frequency, f2 += features.frequency * features.frequency;
            d += features.damping, d2 += features.damping * features.damping;
            ++n;
        }
    }
    const double fm = f / n, dm = d / n;
    ReportFigure(what_frequency, 100.0 * std::sqrt(f2 / n - fm * fm) / fm, "%", "target", 0.05,
                 frequency_held ? 1.0 : 0.0);
    ReportFigure(what_damping, 100.0 * std::sqrt(d2 / n - dm * dm) / dm, "%", "target", 1.0, 1.0);
}

}  // namespace

int main() {
    std::vector<Line> lines = Learned();
    const Rates good = Rate(lines, GOOD_PER_REFERENCE, false, [](Winding w) { return w; });
    ReportFigure("wave: good units flagged", good.flagged, "%", "stated", 0.5, 1.0);
    ReportFigure("wave: good units the tester passes at judge 8", good.tester_passed, "%", "-", 0,
                 0);
    const Rates faster =
        Rate(lines, FAULTY_PER_REFERENCE, false, [](Winding w) { return Faster(w, 0.01); });
    ReportFigure("wave: 1 % faster missed", 100.0 - faster.flagged, "%", "target", 5.0, 1.0);
    ReportFigure("wave: 1 % faster the tester passes at judge 8", faster.tester_passed, "%", "-", 0,
                 0);
    ReportFigure("wave: smallest frequency shift flagged in 95 %", SmallestShift(lines), "%",
                 "1 % shift", 1.0, 1.0);
    const Rates damped =
        Rate(lines, FAULTY_PER_REFERENCE, false, [](Winding w) { return MoreDamped(w, 0.10); });
    ReportFigure("wave: damping +10 % missed", 100.0 - damped.flagged, "%", "target", 10.0, 1.0);
    ReportFigure("wave: damping +10 % the tester passes at judge 8", damped.tester_passed, "%", "-",
                 0, 0);
    const Rates arcing = Rate(lines, FAULTY_PER_REFERENCE, true, [](Winding w) { return w; });
    ReportFigure("wave: arcing flagged", arcing.flagged, "%", "-", 0, 0);
    ReportFigure("wave: arcing the tester passes at judge 8", arcing.tester_passed, "%", "-", 0, 0);
    Drift(lines);
    Step(lines);
    TimePerWave(lines);
    Repeatability(SoundWinding().frequency, "wave: frequency repeatability, 5.8 cycles (1 sigma)",
                  "wave: damping repeatability, 5.8 cycles (1 sigma)", true);
    Repeatability(4.0 / 290.0, "wave: frequency repeatability, 4 cycles (1 sigma)",
                  "wave: damping repeatability, 4 cycles (1 sigma)", false);
    return 0;
}
