// The pictures the chart panel shows, drawn into a file of the temporary folder.
#pragma once

#include <optional>
#include <string>

#include "history/process_query.h"
#include "process/control_chart.h"

namespace process {

constexpr int PICTURE_WIDTH = 680;
constexpr int PICTURE_HEIGHT = 500;

// This process's picture file.
std::string PictureFile();
bool WriteChartPicture(const Chart& chart, Item item, std::optional<std::size_t> chosen,
                       bool ewma = false);
bool WriteParetoPicture(const history::Pareto& pareto);
// The local date and time now, "YYYY-MM-DD HH:MM", and the minute of the day.
std::string NowText();
int MinuteOfDay();

}  // namespace process
