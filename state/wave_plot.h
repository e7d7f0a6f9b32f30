// The wave plots on the station's graphs: a graph holds one plot per wave, by its id in a
// variable (plotHandle, master_plotHandle, setup_plotHandle, or a panel's own).
#pragma once

#include "values/wave.h"

// Removes the plot `*plot` (redrawn at once) and sets it to 0; nothing when it is 0.
void Remove_plot(int panel, int graph, int* plot);
// The rule for every wave plot: the old one goes, then the wave's samples are plotted in
// `colour` and the new plot takes its id.
void Replace_plot(int panel, int graph, int* plot, const Wave& samples, int colour);
