// The unit's serial number as the serial field holds it: without the blanks around it, and whole
// up to SERIAL_MAX_CHARACTERS characters; a longer read is refused, never cut.
#pragma once

#include <string>

constexpr int SERIAL_MAX_CHARACTERS = 64;

// Reads the field into `serial`. A read longer than SERIAL_MAX_CHARACTERS is refused: the field is
// emptied, the strip says why until a later cycle ends, and false is returned.
bool Read_serial(std::string* serial);
// Takes the refusal off the strip (a cycle has ended).
void Clear_serial_refusal();
// "재검사 N회" under the serial field for a unit with `earlier` tests in the window, hidden at 0:
// from the Enter of its serial number, through its cycle, until the next unit's.
void Show_retests(int earlier);
