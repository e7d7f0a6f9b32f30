// How an inspection cycle ended: with a verdict, or incomplete (a reply that did not come whole).
#pragma once

#include <optional>
#include <string_view>

enum class Outcome { OK, NG, INCOMPLETE };

// "O.K", "N.G" or "incomplete": the verdict text of `result` and of the history's records.
const char* Outcome_text(Outcome outcome);
std::optional<Outcome> Outcome_of(std::string_view text);
