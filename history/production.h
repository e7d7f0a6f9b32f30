// What counts as production, and the shift a moment falls in: the one place the charts, the
// Pareto and the shift report take them from.
#pragma once

#include <array>
#include <string>

namespace history {

// The SQL condition on `inspection` that keeps the production records: every record, until the
// records carry a `reference` mark for the reference units, then those not marked.
std::string ProductionCondition(bool has_reference_column);

// The shifts' starts, minutes after midnight, in order: 06:00, 14:00, 22:00.
constexpr std::array<int, 3> SHIFT_STARTS = {6 * 60, 14 * 60, 22 * 60};

// A period as local times "YYYY-MM-DDTHH:MM:SS", to_at excluded.
struct Period {
    std::string from_at;
    std::string to_at;
};

// The shift that holds the local time `year-month-day minute` (minutes after midnight); the
// night shift runs into the next day, and its early hours belong to the one begun the day before.
Period ShiftAt(int year, int month, int day, int minute);

}  // namespace history
