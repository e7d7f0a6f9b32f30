#include "inspection/reference_band.h"

#include <vector>

#include "inspection/inspection_display.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "state/wave_plot.h"
#include "toolkit/toolkit.h"
#include "wave_check/wave_check.h"

namespace {

constexpr int BAND_COLOUR = 0xFFE6B8;  // the wave alarm's amber, faded

int band_plot = 0;

bool Band_on() {
    int on = 0;
    GetCtrlVal(mainHandle, MAIN_BAND, &on);
    return on != 0;
}

// One line stroked up and down the band at every half sample fills it in a single plot.
void Plot_band(const wave_check::Band& lower, const wave_check::Band& upper) {
    std::vector<double> x, y;
    for (int k = 0; k <= 2 * (WAVE_SAMPLES - 1); ++k) {
        const int i = k / 2;
        const int next = k % 2 == 0 ? i : i + 1;
        const double low = (lower[i] + lower[next]) / 2.0;
        const double high = (upper[i] + upper[next]) / 2.0;
        x.insert(x.end(), 2, k / 2.0);
        y.push_back(k % 2 == 0 ? low : high);
        y.push_back(k % 2 == 0 ? high : low);
    }
    band_plot =
        PlotXY(mainHandle, MAIN_GRAPH, x.data(), y.data(), static_cast<int>(x.size()), BAND_COLOUR);
}

}  // namespace

void Show_reference_band() {
    Remove_plot(mainHandle, MAIN_GRAPH, &band_plot);
    wave_check::Band lower{}, upper{};
    if (!Band_on() || !wave_check::ShownBand(&lower, &upper)) {
        return;
    }
    Plot_band(lower, upper);
    // The waves go back on top of the band.
    if (plotHandle > 0) {
        Show_measured_wave(measured_wave);
    }
    if (master_plotHandle > 0) {
        Show_standard_wave(wave);
    }
}

int Main_band(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) {
        Show_reference_band();
    }
    return 0;
}
