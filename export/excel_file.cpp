// The export file "excel_file.dat": the last inspection's line, the date and both waves.
#include "export/excel_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "state/surge_state.h"
#include "toolkit/toolkit.h"

namespace {

// Length of the UTF-8 character that starts with `lead`.
std::size_t Utf8_length(unsigned char lead) {
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    if (lead >= 0xC0) {
        return 2;
    }
    return 1;
}

}  // namespace

std::string Legacy_model_text(const char* model, bool* substituted) {
    std::string legacy;
    *substituted = false;
    if (ToLegacyText(model, &legacy)) {
        return legacy;
    }
    legacy.clear();
    const std::size_t length = std::strlen(model);
    for (std::size_t i = 0; i < length;) {
        const std::size_t n = Utf8_length(static_cast<unsigned char>(model[i]));
        const std::string character(model + i, std::min(n, length - i));
        std::string converted;
        if (ToLegacyText(character.c_str(), &converted)) {
            legacy += converted;
        } else {
            legacy += '?';
            *substituted = true;
        }
        i += character.size();
    }
    return legacy;
}

bool Write_excel_file(const std::string& model, const char* date) {
    std::FILE* fp = std::fopen(EXCEL_FILE, "w");
    if (fp == nullptr) {
        return false;
    }
    bool written =
        std::fprintf(fp, "%s %f %d %d %d %d %d %s\n", model.c_str(), static_cast<double>(voltage),
                     width, pulse_no, judge, area, phase, result) >= 0;
    written = written && std::fprintf(fp, "%s\n", date) >= 0;
    for (int i = 0; written && i < WAVE_SAMPLES; i++) {
        written = std::fprintf(fp, "%d %d\n", static_cast<int>(wave[i]),
                               static_cast<int>(measured_wave[i])) >= 0;
    }
    // The buffered tail reaches the disk only here: a full disk shows up at the close.
    const bool closed = std::fclose(fp) == 0;
    return written && closed;
}
