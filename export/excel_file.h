// The export file: what the spreadsheet reads, written by the export command.
#pragma once

#include <string>

constexpr const char* EXCEL_FILE = "excel_file.dat";

// The model text in code page 949, as the spreadsheet reads it. A character that the code page
// lacks becomes '?', so the rest of the line still lines up; *substituted tells.
std::string Legacy_model_text(const char* model, bool* substituted);

// Writes "excel_file.dat" from the current inspection (voltage, width, pulse_no, judge, area,
// phase, result and both waves), "\n" ending every line. False when any part of it could not be
// written.
bool Write_excel_file(const std::string& model, const char* date);
