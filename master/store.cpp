// The master store: opening and closing it, and the list scan, reading, deleting and saving of
// records.
#include <cstdio>
#include <cstring>
#include <string>

#include "master/master.h"
#include "master/store_internal.h"
#include "toolkit/toolkit.h"
#include "values/tell_once.h"

std::FILE* fp_model = nullptr;
std::FILE* fp_data = nullptr;
int file_opened = 0;

using namespace store_internal;

namespace store_internal {

// Set while a quiet list scan runs.
bool quiet_scan = false;

void Warn(const char* text) {
    if (!quiet_scan) {
        MessagePopup(STORE_WARNING_TITLE, text);
    }
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

bool Create_if_missing(const char* file_name) {
    if (FileExists(file_name)) {
        return true;
    }
    std::FILE* created = std::fopen(file_name, "a");
    return created != nullptr && std::fclose(created) == 0;
}

// The wave file's length, or -1 when it cannot be told.
long Wave_file_size() {
    return std::fseek(fp_data, 0, SEEK_END) == 0 ? std::ftell(fp_data) : -1;
}

bool Has_block(int position, long wave_bytes) {
    return static_cast<long>(position) * WAVE_SAMPLES <= wave_bytes;
}

// Line `position` of the store, as the reader gave it, is a record when it reads, its name
// converts and its block lies whole in the wave file. Every operation counts records so, so
// record n is the same line and block for the list, a selection, a delete and a save.
bool Is_record(LineRead read, const StoredLine& line, int position, long wave_bytes,
               MasterRecord* record) {
    return read == LineRead::Record && Has_block(position, wave_bytes) && To_record(line, record);
}

// Set when the store was opened beside files of an interrupted change that it could not place.
bool store_locked = false;
std::string locked_text;

// Opens the store for a change; false (the operator told) when it cannot be changed.
bool Open_for_change() {
    const bool was_open = file_opened == 1;
    if (!Open_store()) {
        return false;
    }
    if (store_locked) {
        // Opening told the operator already, unless the store was open before.
        if (was_open) {
            Warn(locked_text.c_str());
        }
        return false;
    }
    return true;
}

}  // namespace

bool Open_store() {
    if (file_opened == 1) {
        return true;
    }
    std::string files;
    const Recovery recovery = Recover_interrupted_replacement(&files);
    if (recovery == Recovery::Failed) {
        return false;
    }
    store_locked = recovery == Recovery::Locked;
    bool present = true;
    if (store_locked) {
        locked_text = std::string(STORE_INTERRUPTED_TEXT) + files;
        Warn(locked_text.c_str());
        // Nothing is created beside what was left; the list shows what the store files hold.
        if (!FileExists(MODEL_NAME_FILE) || !FileExists(MODEL_WAVE_FILE)) {
            return false;
        }
    } else {
        present = Create_if_missing(MODEL_NAME_FILE) && Create_if_missing(MODEL_WAVE_FILE);
    }
    // Nothing is ever written through these streams, so a write-protected store still lists.
    if (present) {
        fp_model = std::fopen(MODEL_NAME_FILE, "rb");
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

bool List_scan(const std::function<void(const MasterRecord&)>& deliver_row, bool quiet) {
    struct Quiet {
        explicit Quiet(bool quiet) { quiet_scan = quiet; }
        ~Quiet() { quiet_scan = false; }
    } const quiet_while_scanning(quiet);
    if (!Open_store()) {
        return false;
    }
    const long wave_bytes = Wave_file_size();
    LineReader lines(fp_model);
    int positions = 0;
    TellOnce damage;
    StoredLine line;
    MasterRecord row;
    for (;;) {
        const LineRead read = lines.Next(&line);
        if (read == LineRead::End) {
            break;
        }
        if (read == LineRead::Failed || wave_bytes < 0) {
            Warn(STORE_OPEN_FAILED_TEXT);
            return false;
        }
        ++positions;
        if (Is_record(read, line, positions, wave_bytes, &row)) {
            deliver_row(row);
        } else if (damage.Due()) {
            if (Has_block(positions, wave_bytes)) {
                Warn_damaged(MODEL_NAME_FILE, lines.line_no());
            } else {
                Warn_damaged(MODEL_WAVE_FILE, 0);
            }
        }
    }
    if (!damage.Told() && wave_bytes != static_cast<long>(positions) * WAVE_SAMPLES) {
        Warn_damaged(MODEL_WAVE_FILE, 0);
    }
    return true;
}

bool Read_record(int n, MasterRecord* record) {
    if (n < 1 || !Open_store()) {
        return false;
    }
    const long wave_bytes = Wave_file_size();
    LineReader lines(fp_model);
    int records = 0;
    int position = 0;
    StoredLine line;
    MasterRecord found;
    while (records < n) {
        const LineRead read = lines.Next(&line);
        if (read == LineRead::Failed || wave_bytes < 0) {
            Warn(STORE_OPEN_FAILED_TEXT);
            return false;
        }
        if (read == LineRead::End) {
            Warn_damaged(MODEL_NAME_FILE, lines.line_no());
            return false;
        }
        ++position;
        records += Is_record(read, line, position, wave_bytes, &found) ? 1 : 0;
    }
    if (std::fseek(fp_data, static_cast<long>(position - 1) * WAVE_SAMPLES, SEEK_SET) != 0 ||
        !Read_block(fp_data, &found.wave)) {
        Warn_damaged(MODEL_WAVE_FILE, 0);
        return false;
    }
    *record = found;
    return true;
}

bool Delete_record(int n, MasterRecord* last, MasterRecord* deleted) {
    if (n < 1 || !Open_for_change()) {
        return false;
    }
    TempFiles temp;
    // Gives up on the change: the store stays as it was, and open, as the list panel needs it.
    auto abandon = [&temp](const char* text) {
        Discard_pair(DELETE_PAIR, &temp);
        Warn(text);
        Open_store();
        return false;
    };
    if (!Open_pair(DELETE_PAIR, &temp)) {
        return abandon(STORE_WRITE_FAILED_TEXT);
    }
    SetAside aside;
    int records = 0;
    MasterRecord read;
    MasterRecord dropped;
    const Rewritten rewritten = Rewrite_records(
        &temp, &aside, MasterRecord{},
        [n, &records, &read, &dropped](int k, const StoredLine&) {
            records = k;
            if (k == n) {
                dropped = read;
            }
            return k == n ? RecordFate::Drop : RecordFate::Keep;
        },
        &read);
    if (rewritten != Rewritten::Done) {
        return abandon(rewritten == Rewritten::ReadFailed ? STORE_OPEN_FAILED_TEXT
                                                          : STORE_WRITE_FAILED_TEXT);
    }
    if (records < n) {
        return abandon(STORE_DAMAGED_TEXT);
    }
    if (!aside.empty() && !aside.Write()) {
        return abandon(STORE_WRITE_FAILED_TEXT);
    }
    const Replacement replacement = Put_pair_in_place(DELETE_PAIR, &temp);
    if (replacement == Replacement::Unchanged) {
        return abandon(STORE_WRITE_FAILED_TEXT);
    }
    // A pending replacement is finished by opening the store, which reports its own failure.
    if (replacement == Replacement::Pending && !Open_store()) {
        return false;
    }
    if (!aside.empty()) {
        Warn(STORE_SET_ASIDE_TEXT);
    }
    *last = read;
    if (deleted != nullptr) {
        *deleted = dropped;
    }
    Open_store();
    return true;
}

SaveOutcome Save_rewrite(const MasterRecord& master, const std::function<bool()>& replace_same_name,
                         std::vector<MasterRecord>* replaced_records) {
    std::string name;
    if (!Is_valid_master_name(master.name) || !ToLegacyText(master.name, &name)) {
        Warn(STORE_WRITE_FAILED_TEXT);
        return SaveOutcome::Failed;
    }
    if (!Open_for_change()) {
        Close_store();
        return SaveOutcome::Failed;
    }
    TempFiles temp;
    auto abandon = [&temp](const char* text) {
        Discard_pair(SAVE_PAIR, &temp);
        Close_store();
        Warn(text);
        return SaveOutcome::Failed;
    };
    if (!Open_pair(SAVE_PAIR, &temp)) {
        return abandon(STORE_WRITE_FAILED_TEXT);
    }
    SetAside aside;
    bool replaced = false;
    MasterRecord read;
    std::vector<MasterRecord> taken_place_of;
    const Rewritten rewritten = Rewrite_records(
        &temp, &aside, master,
        [&](int, const StoredLine& line) {
            if (name != line.name) {
                return RecordFate::Keep;
            }
            if (!replace_same_name()) {
                return RecordFate::Decline;
            }
            replaced = true;
            taken_place_of.push_back(read);
            return RecordFate::Replace;
        },
        &read);
    if (rewritten == Rewritten::Declined) {
        Discard_pair(SAVE_PAIR, &temp);
        Close_store();
        return SaveOutcome::Declined;
    }
    if (rewritten != Rewritten::Done) {
        return abandon(rewritten == Rewritten::ReadFailed ? STORE_OPEN_FAILED_TEXT
                                                          : STORE_WRITE_FAILED_TEXT);
    }
    if (!replaced &&
        (!Write_line(temp.name, name.c_str(), master) || !Write_block(temp.wave, master.wave))) {
        return abandon(STORE_WRITE_FAILED_TEXT);
    }
    // What could not be carried over is kept before the new store can take the old one's place.
    if (!aside.empty() && !aside.Write()) {
        return abandon(STORE_WRITE_FAILED_TEXT);
    }
    const Replacement replacement = Put_pair_in_place(SAVE_PAIR, &temp);
    if (replacement == Replacement::Unchanged) {
        return abandon(STORE_WRITE_FAILED_TEXT);
    }
    // A pending replacement is finished by opening the store, which reports its own failure.
    if (replacement == Replacement::Pending) {
        const bool finished = Open_store();
        Close_store();
        if (!finished) {
            return SaveOutcome::Failed;
        }
    }
    if (!aside.empty()) {
        Warn(STORE_SET_ASIDE_TEXT);
    }
    if (replaced_records != nullptr) {
        *replaced_records = taken_place_of;
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
