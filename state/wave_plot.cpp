#include "state/wave_plot.h"

#include "toolkit/toolkit.h"

void Remove_plot(int panel, int graph, int* plot) {
    if (*plot > 0) {
        DeleteGraphPlot(panel, graph, *plot, VAL_IMMEDIATE_DRAW);
        *plot = 0;
    }
}

void Replace_plot(int panel, int graph, int* plot, const Wave& samples, int colour) {
    Remove_plot(panel, graph, plot);
    *plot = PlotY(panel, graph, samples.data(), WAVE_SAMPLES, VAL_CHAR, VAL_THIN_LINE, 0, VAL_SOLID,
                  1, colour);
}
