// What counts as production, and the shift a moment falls in: the one place the charts, the
// Pareto and the shift report take them from.
#pragma once

#include <string>
#include <vector>

namespace history {

// The SQL condition on `inspection` that keeps the production records: history/counts.h's, where
// the records carry the `reference` mark (a server not yet upgraded has none: every record).
std::string ProductionCondition(bool has_reference_column);

// A period as local times "YYYY-MM-DDTHH:MM:SS", to_at excluded.
struct Period {
    std::string from_at;
    std::string to_at;
};

// The shift that holds the local time `year-month-day minute` (minutes after midnight), the
// shifts beginning at station.ini's `[reference] shifts` (06:00, 14:00, 22:00 by default); the
// last shift runs into the next day, and its early hours belong to the one begun the day before.
Period ShiftAt(int year, int month, int day, int minute);
// The same with the shifts beginning at `shift_starts` (minutes after midnight, any order; none:
// the defaults).
Period ShiftIn(std::vector<int> shift_starts, int year, int month, int day, int minute);

}  // namespace history
