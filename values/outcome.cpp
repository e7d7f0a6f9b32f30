#include "values/outcome.h"

namespace {

struct Named {
    Outcome outcome;
    const char* text;
};
constexpr Named NAMES[] = {
    {Outcome::OK, "O.K"},
    {Outcome::NG, "N.G"},
    {Outcome::INCOMPLETE, "incomplete"},
};

}  // namespace

const char* Outcome_text(Outcome outcome) {
    for (const Named& named : NAMES) {
        if (named.outcome == outcome) {
            return named.text;
        }
    }
    return "";
}

std::optional<Outcome> Outcome_of(std::string_view text) {
    for (const Named& named : NAMES) {
        if (text == named.text) {
            return named.outcome;
        }
    }
    return std::nullopt;
}
