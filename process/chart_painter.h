// The control chart and the Pareto drawn with a QPainter: one drawing for the panel's picture and
// the report's page, sized to the rectangle it is given.
#pragma once

#include <QPainter>
#include <QRectF>
#include <optional>
#include <string>
#include <vector>

#include "history/process_query.h"
#include "process/control_chart.h"

namespace process {

// The individuals chart, the moving-range chart under it, the time axis and the capability box.
// `chosen` rings one signal (an index into the item's signals). With `ewma` the item's EWMA
// chart takes the room of both plots (its signals are then the EWMA's); an item without an EWMA
// (no limits, or no spread) is drawn as its I-MR chart.
void PaintItemChart(QPainter& painter, const QRectF& room, const Chart& chart, Item item,
                    std::optional<std::size_t> chosen, bool ewma = false);

// Bars largest first (the tenth and after as one), the cumulative share as a line.
void PaintPareto(QPainter& painter, const QRectF& room, const QString& title,
                 const std::vector<history::ParetoBar>& bars);

// The capability index as the panel shows it: "1.42 (250건)", "기록 부족 (37건, 125건부터)".
QString IndexText(const quality::CapabilityIndex& index);
// Its colour: red below 1.33, amber below 1.67, none (invalid) otherwise.
QColor IndexColour(const quality::CapabilityIndex& index);

QString ItemName(Item item);
// "기준: 버전 1a2b3c4d의 첫 25건", counting the baseline tests of `item` (the wave's: those
// fitted).
QString BaselineText(const Chart& chart, Item item);

// Writes the chart of `item` to a PNG file; false when it cannot be written.
bool WriteChartImage(const Chart& chart, Item item, std::optional<std::size_t> chosen, int width,
                     int height, const std::string& path, bool ewma = false);

}  // namespace process
