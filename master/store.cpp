// The master store files.
//
// Replacing the store: a change writes the whole new store to a temporary pair and flushes both
// files to disk; then the commit marker "model_commit.dat", naming the pair, is written, flushed
// and renamed into place; then the pair is renamed over "model_name.dat" and "model_wave.dat";
// then the marker is removed. Opening the store finishes a replacement that was interrupted: a
// marker present means the pair is complete, so whatever is left of it is renamed into place;
// no marker means the pair may be partial, so leftover temporary files are deleted. The two
// store files therefore always hold the same records, all old or all new.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "master/master.h"
#include "toolkit/toolkit.h"

std::FILE* fp_model = nullptr;
std::FILE* fp_data = nullptr;
int file_opened = 0;
void (*store_step_hook)(const char* step) = nullptr;

namespace {

// A stored line is far shorter; anything longer is damage, not a name.
constexpr int LINE_LIMIT = 256;
constexpr std::size_t STORED_NAME_LIMIT = MODEL_NAME_SIZE - 1;

struct TempPair {
    const char* name_file;
    const char* wave_file;
};
constexpr TempPair SAVE_PAIR{SAVE_TEMP_NAME_FILE, SAVE_TEMP_WAVE_FILE};
constexpr TempPair DELETE_PAIR{DELETE_TEMP_NAME_FILE, DELETE_TEMP_WAVE_FILE};

struct TempFiles {
    std::FILE* name = nullptr;
    std::FILE* wave = nullptr;
};

// A line of "model_name.dat" as stored: the name in code page 949 bytes.
struct StoredLine {
    char name[STORED_NAME_LIMIT + 1] = "";
    float voltage = 0;
    int width = 0;
    int pulse_no = 0;
    int area = 0;
    int phase = 0;
    int corona = 0;
};

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

// The white space that the legacy readers skip between fields.
bool Is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

template <typename Number>
bool Parse_number(std::string_view token, Number* value) {
    const char* end = token.data() + token.size();
    auto [stop, error] = std::from_chars(token.data(), end, *value);
    return error == std::errc() && stop == end;
}

// A record line: exactly the seven fields "name voltage width pulse_no area phase corona".
bool Parse_line(std::string_view text, StoredLine* line) {
    std::string_view field[7];
    int count = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        if (Is_space(text[at])) {
            ++at;
            continue;
        }
        const std::size_t start = at;
        while (at < text.size() && !Is_space(text[at])) {
            ++at;
        }
        if (count == 7) {
            return false;
        }
        field[count++] = text.substr(start, at - start);
    }
    if (count != 7 || field[0].size() > STORED_NAME_LIMIT) {
        return false;
    }
    StoredLine parsed;
    field[0].copy(parsed.name, field[0].size());
    parsed.name[field[0].size()] = '\0';
    if (!Parse_number(field[1], &parsed.voltage) || !Parse_number(field[2], &parsed.width) ||
        !Parse_number(field[3], &parsed.pulse_no) || !Parse_number(field[4], &parsed.area) ||
        !Parse_number(field[5], &parsed.phase) || !Parse_number(field[6], &parsed.corona)) {
        return false;
    }
    *line = parsed;
    return true;
}

enum class LineRead { Record, End, Damaged, Failed };

// Reads "model_name.dat" from its start, line by line, through a buffer of its own: one fread
// per 64 KiB rather than a locked getc per byte.
class LineReader {
  public:
    explicit LineReader(std::FILE* file) : file_(file), buffer_(1 << 16) { std::rewind(file); }

    // The next record line, blank lines skipped; LF and CR LF ends read alike. `line_no()`
    // counts the lines read, for the operator's message.
    LineRead Next(StoredLine* line) {
        char text[LINE_LIMIT];
        for (;;) {
            int length = 0;
            int c = 0;
            while ((c = Get()) != EOF && c != '\n') {
                if (c == '\0' || length == LINE_LIMIT) {
                    ++line_no_;
                    return LineRead::Damaged;
                }
                text[length++] = static_cast<char>(c);
            }
            if (c == EOF && std::ferror(file_)) {
                return LineRead::Failed;
            }
            if (c == EOF && length == 0) {
                return LineRead::End;
            }
            ++line_no_;
            const std::string_view view(text, static_cast<std::size_t>(length));
            if (view.find_first_not_of(" \t\r\v\f") != std::string_view::npos) {
                return Parse_line(view, line) ? LineRead::Record : LineRead::Damaged;
            }
        }
    }
    int line_no() const { return line_no_; }

  private:
    int Get() {
        if (at_ == filled_) {
            at_ = 0;
            filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            if (filled_ == 0) {
                return EOF;
            }
        }
        return static_cast<unsigned char>(buffer_[at_++]);
    }

    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t at_ = 0;
    std::size_t filled_ = 0;
    int line_no_ = 0;
};

// The legacy line "%s %2.1f %d %d %d %d %d\n", byte for byte, built with to_chars: faster than
// fprintf, and the voltage's point stays a point whatever the process locale.
bool Write_line(std::FILE* file, const char* name, float voltage, int width, int pulse_no, int area,
                int phase, int corona) {
    char line[LINE_LIMIT + 64];
    const std::size_t name_length = std::strlen(name);
    if (name_length > STORED_NAME_LIMIT) {
        return false;
    }
    std::memcpy(line, name, name_length);
    char* at = line + name_length;
    char* const end = line + sizeof line;
    *at++ = ' ';
    auto [after_volts, error] =
        std::to_chars(at, end, static_cast<double>(voltage), std::chars_format::fixed, 1);
    if (error != std::errc()) {
        return false;
    }
    at = after_volts;
    for (int value : {width, pulse_no, area, phase, corona}) {
        *at++ = ' ';
        at = std::to_chars(at, end, value).ptr;
    }
    *at++ = '\n';
    const auto length = static_cast<std::size_t>(at - line);
    return std::fwrite(line, 1, length, file) == length;
}

bool Read_block(std::FILE* file, signed char* block) {
    return std::fread(block, 1, WAVE_SAMPLES, file) == static_cast<std::size_t>(WAVE_SAMPLES);
}

bool Write_block(std::FILE* file, const signed char* block) {
    return std::fwrite(block, 1, WAVE_SAMPLES, file) == static_cast<std::size_t>(WAVE_SAMPLES);
}

bool At_end(std::FILE* file) {
    return std::getc(file) == EOF && !std::ferror(file);
}

bool Is_ascii(const char* text) {
    for (; *text != '\0'; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80) {
            return false;
        }
    }
    return true;
}

bool To_record(const StoredLine& line, MasterRecord* record) {
    // An ASCII name reads the same in both encodings; only the others need converting.
    std::string name;
    if (Is_ascii(line.name)) {
        name = line.name;
    } else if (!FromLegacyText(line.name, &name)) {
        return false;
    }
    if (name.size() >= sizeof record->name) {
        return false;
    }
    std::memcpy(record->name, name.c_str(), name.size() + 1);
    record->voltage = line.voltage;
    record->width = line.width;
    record->pulse_no = line.pulse_no;
    record->area = line.area;
    record->phase = line.phase;
    record->corona = line.corona;
    return true;
}

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

// ---- The temporary pair and its replacement of the store ----

bool Open_pair(const TempPair& pair, TempFiles* temp) {
    temp->name = std::fopen(pair.name_file, "w");
    temp->wave = std::fopen(pair.wave_file, "wb");
    for (std::FILE* file : {temp->name, temp->wave}) {
        if (file != nullptr) {
            std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
        }
    }
    return temp->name != nullptr && temp->wave != nullptr;
}

bool Flush_and_close_pair(TempFiles* temp) {
    bool ok = true;
    for (std::FILE** file : {&temp->name, &temp->wave}) {
        ok = !std::ferror(*file) && FlushFileToDisk(*file) == 0 && ok;
        ok = std::fclose(*file) == 0 && ok;
        *file = nullptr;
    }
    return ok;
}

void Discard_pair(const TempPair& pair, TempFiles* temp) {
    for (std::FILE** file : {&temp->name, &temp->wave}) {
        if (*file != nullptr) {
            std::fclose(*file);
            *file = nullptr;
        }
    }
    DeleteFile(pair.name_file);
    DeleteFile(pair.wave_file);
}

bool Write_commit_marker(const TempPair& pair) {
    std::FILE* marker = std::fopen(COMMIT_MARKER_TEMP_FILE, "w");
    if (marker == nullptr) {
        return false;
    }
    bool ok = std::fprintf(marker, "%s %s\n", pair.name_file, pair.wave_file) > 0;
    ok = FlushFileToDisk(marker) == 0 && ok;
    ok = std::fclose(marker) == 0 && ok;
    if (!ok || RenameFile(COMMIT_MARKER_TEMP_FILE, COMMIT_MARKER_FILE) != 0) {
        DeleteFile(COMMIT_MARKER_TEMP_FILE);
        return false;
    }
    return true;
}

bool Read_commit_marker(TempPair* pair) {
    std::FILE* marker = std::fopen(COMMIT_MARKER_FILE, "r");
    if (marker == nullptr) {
        return false;
    }
    char text[128] = "";
    const std::size_t length = std::fread(text, 1, sizeof text - 1, marker);
    std::fclose(marker);
    const std::string_view content(text, length);
    for (const TempPair& known : {SAVE_PAIR, DELETE_PAIR}) {
        if (content == std::string(known.name_file) + " " + known.wave_file + "\n") {
            *pair = known;
            return true;
        }
    }
    return false;
}

// Renames what is left of a complete pair over the store, then removes the marker.
bool Finish_replacement(const TempPair& pair) {
    if (FileExists(pair.name_file) && RenameFile(pair.name_file, MODEL_NAME_FILE) != 0) {
        return false;
    }
    Step("name_renamed");
    if (FileExists(pair.wave_file) && RenameFile(pair.wave_file, MODEL_WAVE_FILE) != 0) {
        return false;
    }
    Step("wave_renamed");
    if (SyncWorkingDirectory() != 0 || DeleteFile(COMMIT_MARKER_FILE) != 0 ||
        SyncWorkingDirectory() != 0) {
        return false;
    }
    Step("marker_removed");
    return true;
}

enum class Replacement { Unchanged, Replaced, Pending };

// Puts a complete, closed pair in place of the store. Pending: the marker is in place but a
// rename failed; the next opening of the store finishes the replacement.
Replacement Replace_store_with(const TempPair& pair) {
    if (!Write_commit_marker(pair)) {
        return Replacement::Unchanged;
    }
    const bool durable = SyncWorkingDirectory() == 0;
    Step("marker_written");
    return durable && Finish_replacement(pair) ? Replacement::Replaced : Replacement::Pending;
}

bool Recover_interrupted_replacement() {
    if (FileExists(COMMIT_MARKER_FILE)) {
        TempPair pair{};
        if (!Read_commit_marker(&pair)) {
            Warn_damaged(COMMIT_MARKER_FILE, 0);
            return false;
        }
        if (!Finish_replacement(pair)) {
            Warn(STORE_WRITE_FAILED_TEXT);
            return false;
        }
    }
    // Without a marker, any temporary file left belongs to a change that never took place. One
    // that cannot be deleted does no harm: every change starts its pair empty.
    for (const char* leftover : {SAVE_TEMP_NAME_FILE, SAVE_TEMP_WAVE_FILE, DELETE_TEMP_NAME_FILE,
                                 DELETE_TEMP_WAVE_FILE, COMMIT_MARKER_TEMP_FILE}) {
        if (FileExists(leftover)) {
            DeleteFile(leftover);
        }
    }
    return true;
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
    Step("pair_written");
    Close_store();
    if (!Flush_and_close_pair(&temp)) {
        return abandon(nullptr, 0);
    }
    Step("pair_flushed");
    const Replacement replacement = Replace_store_with(DELETE_PAIR);
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
    Step("pair_written");
    Close_store();
    if (!Flush_and_close_pair(&temp)) {
        return abandon(nullptr, 0);
    }
    Step("pair_flushed");
    const Replacement replacement = Replace_store_with(SAVE_PAIR);
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
