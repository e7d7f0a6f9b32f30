// The references wave_check.cpp keeps per master version, for the one an engineer names
// (named_reference.cpp).
#pragma once

#include <string>

#include "wave/reference.h"

namespace wave_check {

// `reference` judges `version`'s units from the next cycle on, in place of any learned before.
void UseReference(const std::string& version, const wave::Reference& reference);
// The audit row's text of a reference learned: "버전 1a2b3c4d5e6f: 30대 중 29대 (제외 1대)".
std::string LearnedText(const std::string& version, const wave::Reference& reference);

}  // namespace wave_check
