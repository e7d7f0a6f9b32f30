// The master store: opening and closing it, and the list scan, reading, deleting and saving of
// records.
#include <cstdio>
#include <cstring>
#include <string>

#include "master/master.h"
#include "master/store_internal.h"
#include "toolkit/toolkit.h"

std::FILE* fp_model = nullptr;
std::FILE* fp_data = nullptr;
int file_opened = 0;
void (*store_step_hook)(const char* step) = nullptr;

using namespace store_internal;

namespace store_internal {

void Step(const char* step) {
    if (store_step_hook != nullptr) {
        store_step_hook(step);
    }
}

void Warn(const char* text) {
    MessagePopup(STORE_WARNING_TITLE, text);
}

void Warn_damaged(const char* file, int line_no) {
    char text[256];
    if (line_no > 0) {
        std::snprintf(text, sizeof text, "%s\n(%s, %d 번째 줄)", STORE_DAMAGED_TEXT, file, line_no);
    } else {
        std::snprintf(text, sizeof text, "%s\n(%s)", STORE_DAMAGED_TEXT, file);
    }
    Warn(text);
}

}  // namespace store_internal

namespace {

void Set_current_master(const MasterRecord& record) {
    std::memcpy(master_name, record.name, sizeof master_name);
    voltage = record.voltage;
    width = record.width;
    pulse_no = record.pulse_no;
    area = record.area;
    phase = record.phase;
    corona = record.corona;
    std::memcpy(wave, record.wave, sizeof wave);
}

bool Create_if_missing(const char* file_name) {
    if (FileExists(file_name)) {
        return true;
    }
    std::FILE* created = std::fopen(file_name, "a");
    return created != nullptr && std::fclose(created) == 0;
}

bool Wave_file_holds(int records) {
    return std::fseek(fp_data, 0, SEEK_END) == 0 &&
           std::ftell(fp_data) == static_cast<long>(records) * WAVE_SAMPLES;
}

}  // namespace

bool Open_store() {
    if (file_opened == 1) {
        return true;
    }
    if (!Recover_interrupted_replacement()) {
        return false;
    }
    // Nothing is ever written through these streams, so a write-protected store still lists.
    if (Create_if_missing(MODEL_NAME_FILE) && Create_if_missing(MODEL_WAVE_FILE)) {
        fp_model = std::fopen(MODEL_NAME_FILE, "r");
        fp_data = std::fopen(MODEL_WAVE_FILE, "rb");
    }
    if (fp_data != nullptr) {
        std::setvbuf(fp_data, nullptr, _IOFBF, 1 << 16);
    }
    if (fp_model == nullptr || fp_data == nullptr) {
        Close_store();
        Warn(STORE_OPEN_FAILED_TEXT);
        return false;
    }
    file_opened = 1;
    return true;
}

void Close_store() {
    if (fp_model != nullptr) {
        std::fclose(fp_model);
    }
    if (fp_data != nullptr) {
        std::fclose(fp_data);
    }
    fp_model = nullptr;
    fp_data = nullptr;
    file_opened = 0;
}

bool List_scan(const std::function<void(const MasterRecord&)>& deliver_row) {
    if (!Open_store()) {
        return false;
    }
    LineReader lines(fp_model);
    int records = 0;
    StoredLine line;
    MasterRecord row;
    for (;;) {
        const LineRead read = lines.Next(&line);
        if (read == LineRead::End) {
            break;
        }
        if (read == LineRead::Failed) {
            Warn(STORE_OPEN_FAILED_TEXT);
            return false;
        }
        if (read == LineRead::Damaged || !To_record(line, &row)) {
            Warn_damaged(MODEL_NAME_FILE, lines.line_no());
            return false;
        }
        ++records;
        deliver_row(row);
    }
    if (!Wave_file_holds(records)) {
        Warn_damaged(MODEL_WAVE_FILE, 0);
        return false;
    }
    return true;
}

bool Read_record(int n) {
    if (n < 1 || !Open_store()) {
        return false;
    }
    LineReader lines(fp_model);
    StoredLine line;
    for (int k = 1; k <= n; ++k) {
        const LineRead read = lines.Next(&line);
        if (read == LineRead::Failed) {
            Warn(STORE_OPEN_FAILED_TEXT);
            return false;
        }
        if (read != LineRead::Record) {
            Warn_damaged(MODEL_NAME_FILE, lines.line_no());
            return false;
        }
    }
    MasterRecord record;
    if (!To_record(line, &record)) {
        Warn_damaged(MODEL_NAME_FILE, lines.line_no());
        return false;
    }
    if (std::fseek(fp_data, static_cast<long>(n - 1) * WAVE_SAMPLES, SEEK_SET) != 0 ||
        !Read_block(fp_data, record.wave)) {
        Warn_damaged(MODEL_WAVE_FILE, 0);
        return false;
    }
    Set_current_master(record);
    return true;
}

bool Delete_record(int n) {
    if (n < 1 || !Open_store()) {
        return false;
    }
    TempFiles temp;
    // Gives up on the change: the store stays as it was, and open, as the list panel needs it.
    auto abandon = [&temp](const char* file, int line_no) {
        Discard_pair(DELETE_PAIR, &temp);
        if (file == nullptr) {
            Warn(STORE_WRITE_FAILED_TEXT);
        } else {
            Warn_damaged(file, line_no);
        }
        Open_store();
        return false;
    };
    if (!Open_pair(DELETE_PAIR, &temp)) {
        return abandon(nullptr, 0);
    }
    LineReader lines(fp_model);
    std::rewind(fp_data);
    int k = 0;
    StoredLine line;
    MasterRecord last;
    for (;;) {
        const LineRead read = lines.Next(&line);
        if (read == LineRead::End) {
            break;
        }
        if (read != LineRead::Record) {
            return abandon(MODEL_NAME_FILE, lines.line_no());
        }
        if (!Read_block(fp_data, last.wave)) {
            return abandon(MODEL_WAVE_FILE, 0);
        }
        ++k;
        if (k != n && (!Write_line(temp.name, line.name, line.voltage, line.width, line.pulse_no,
                                   line.area, line.phase, line.corona) ||
                       !Write_block(temp.wave, last.wave))) {
            return abandon(nullptr, 0);
        }
        Step("record_written");
    }
    if (!At_end(fp_data)) {
        return abandon(MODEL_WAVE_FILE, 0);
    }
    // The copy ends with the last record read in `line` and `last.wave`.
    if (k < n || !To_record(line, &last)) {
        return abandon(MODEL_NAME_FILE, lines.line_no());
    }
    const Replacement replacement = Put_pair_in_place(DELETE_PAIR, &temp);
    if (replacement == Replacement::Unchanged) {
        return abandon(nullptr, 0);
    }
    // A pending replacement is finished by opening the store, which reports its own failure.
    if (replacement == Replacement::Pending && !Open_store()) {
        return false;
    }
    Set_current_master(last);
    Open_store();
    return true;
}

SaveOutcome Save_rewrite(const char* entered_name, const std::function<bool()>& replace_same_name) {
    std::string entered;
    std::string appended;
    if (!Is_valid_master_name(entered_name) || !Is_valid_master_name(master_name) ||
        !ToLegacyText(entered_name, &entered) || !ToLegacyText(master_name, &appended)) {
        Warn(STORE_WRITE_FAILED_TEXT);
        return SaveOutcome::Failed;
    }
    if (!Open_store()) {
        return SaveOutcome::Failed;
    }
    TempFiles temp;
    auto abandon = [&temp](const char* file, int line_no) {
        Discard_pair(SAVE_PAIR, &temp);
        Close_store();
        if (file == nullptr) {
            Warn(STORE_WRITE_FAILED_TEXT);
        } else {
            Warn_damaged(file, line_no);
        }
        return SaveOutcome::Failed;
    };
    if (!Open_pair(SAVE_PAIR, &temp)) {
        return abandon(nullptr, 0);
    }
    LineReader lines(fp_model);
    std::rewind(fp_data);
    bool replaced = false;
    StoredLine line;
    signed char block[WAVE_SAMPLES];
    for (;;) {
        const LineRead read = lines.Next(&line);
        if (read == LineRead::End) {
            break;
        }
        if (read != LineRead::Record) {
            return abandon(MODEL_NAME_FILE, lines.line_no());
        }
        if (!Read_block(fp_data, block)) {
            return abandon(MODEL_WAVE_FILE, 0);
        }
        bool written = false;
        if (entered == line.name) {
            if (!replace_same_name()) {
                Discard_pair(SAVE_PAIR, &temp);
                Close_store();
                return SaveOutcome::Declined;
            }
            written =
                Write_line(temp.name, line.name, voltage, width, pulse_no, area, phase, corona) &&
                Write_block(temp.wave, wave);
            replaced = true;
        } else {
            written = Write_line(temp.name, line.name, line.voltage, line.width, line.pulse_no,
                                 line.area, line.phase, line.corona) &&
                      Write_block(temp.wave, block);
        }
        if (!written) {
            return abandon(nullptr, 0);
        }
        Step("record_written");
    }
    if (!At_end(fp_data)) {
        return abandon(MODEL_WAVE_FILE, 0);
    }
    if (!replaced &&
        (!Write_line(temp.name, appended.c_str(), voltage, width, pulse_no, area, phase, corona) ||
         !Write_block(temp.wave, wave))) {
        return abandon(nullptr, 0);
    }
    const Replacement replacement = Put_pair_in_place(SAVE_PAIR, &temp);
    if (replacement == Replacement::Unchanged) {
        return abandon(nullptr, 0);
    }
    // A pending replacement is finished by opening the store, which reports its own failure.
    if (replacement == Replacement::Pending) {
        const bool finished = Open_store();
        Close_store();
        return finished ? SaveOutcome::Saved : SaveOutcome::Failed;
    }
    return SaveOutcome::Saved;
}

bool Is_valid_master_name(const char* name) {
    int characters = 0;
    for (const char* at = name; *at != '\0'; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte <= 0x20 || byte == 0x7F) {
            return false;
        }
        if ((byte & 0xC0) != 0x80) {
            ++characters;
        }
    }
    std::string legacy;
    return characters >= 1 && characters <= MODEL_NAME_MAX_CHARS &&
           std::strstr(name, "\u3000") == nullptr && ToLegacyText(name, &legacy);
}
