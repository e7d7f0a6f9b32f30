// What opening the store does with the files that an interrupted change left in the folder, the
// station's own or the legacy station's.
//
// Our change writes a pair, then the commit marker, then renames the pair into place. The legacy
// delete writes "temp_name.dat" and "temp_wave.dat", deletes "model_name.dat", deletes
// "model_wave.dat" and renames the pair into their places. The legacy save writes
// "temp_model_name.dat" and "temp_model_wave.dat", copies each over its store file and deletes
// both. A legacy opening of the store re-creates a missing store file empty. So:
// - a marker names a whole pair: what is left of it is renamed into place;
// - a whole delete pair where the name file is gone or empty and the wave file gone, empty or
//   the pair's plus one block, or where only the wave file is still to come: it is the store,
//   unless the name file in place may be a legacy save's copy (a start of its pair's name file);
// - a whole save pair whose copies have begun (the name file is the pair's, or a start of it that
//   is no store with the wave file) or that sits beside an empty store: it is the store, where
//   the wave file it replaces holds no block the pair lacks but the one a save replaces;
// - a finished pair is put in place through the marker, so a crash while finishing is finished
//   by the next opening;
// - any other leftover is deleted only where it holds nothing the store does not: it is empty, a
//   copy of its store file, or the store files are whole (every line a record, one block a line)
//   and, for a delete pair's file, hold it and one record more, or it is a start of that;
// - in every other folder nothing is touched, and the store takes no change.
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "log/log.h"
#include "master/store_internal.h"
#include "toolkit/toolkit.h"

namespace store_internal {

namespace {

struct File {
    bool exists = false;
    bool readable = false;
    std::string bytes;
};

File Load(const char* name) {
    File file;
    file.exists = FileExists(name) == 1;
    std::FILE* stream = file.exists ? std::fopen(name, "rb") : nullptr;
    if (stream == nullptr) {
        return file;
    }
    char chunk[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0) {
        file.bytes.append(chunk, got);
    }
    file.readable = !std::ferror(stream);
    std::fclose(stream);
    return file;
}

bool Empty(const File& file) {
    return !file.exists || (file.readable && file.bytes.empty());
}

// A name file and a wave file that make a store: every line a record, one block per line.
bool Whole(const File& names, const File& waves) {
    if (!names.readable || !waves.readable) {
        return false;
    }
    const int records = Count_records(names.bytes);
    return records >= 0 && static_cast<std::size_t>(records) * WAVE_SAMPLES == waves.bytes.size();
}

bool Same(const File& a, const File& b) {
    return a.readable && b.readable && a.bytes == b.bytes;
}

// `start`, missing or empty included, is the beginning of `file`.
bool Starts(const File& file, const File& start) {
    return Empty(start) ||
           (start.readable && file.bytes.compare(0, start.bytes.size(), start.bytes) == 0);
}

// `shorter` is `longer` without one of its blocks.
bool One_block_less(const File& shorter, const File& longer) {
    const std::string& s = shorter.bytes;
    const std::string& l = longer.bytes;
    if (!shorter.readable || !longer.readable || l.size() != s.size() + WAVE_SAMPLES) {
        return false;
    }
    std::size_t same = 0;
    while (same < s.size() && s[same] == l[same]) {
        ++same;
    }
    const std::size_t cut = same / WAVE_SAMPLES * WAVE_SAMPLES;
    return l.compare(cut + WAVE_SAMPLES, std::string::npos, s, cut, std::string::npos) == 0;
}

// `p` is a start of `w` with at most one of its records left out: what a delete of `w` had
// written when it was cut short. `bounds(w, at)` gives where the record of `w` that holds byte
// `at` starts and ends; where the two first differ, that record is the one left out.
template <typename Bounds>
bool Start_of_one_record_less(std::string_view p, std::string_view w, Bounds bounds) {
    if (p.size() > w.size()) {
        return false;
    }
    std::size_t same = 0;
    while (same < p.size() && p[same] == w[same]) {
        ++same;
    }
    if (same == p.size()) {
        return true;
    }
    const auto [start, end] = bounds(w, same);
    return end + (p.size() - start) <= w.size() &&
           w.compare(end, p.size() - start, p, start, std::string_view::npos) == 0;
}

bool Start_of_one_block_less(const File& part, const File& whole) {
    return part.readable && whole.readable &&
           Start_of_one_record_less(part.bytes, whole.bytes, [](std::string_view, std::size_t at) {
               const std::size_t start = at / WAVE_SAMPLES * WAVE_SAMPLES;
               return std::pair{start, start + WAVE_SAMPLES};
           });
}

// A name file's lines as a delete writes them: each line that is not blank, in the legacy format
// with an LF. With `cut`, a last line without its LF is the start of one, kept as it was written,
// less a carriage return. False when a line does not read as a record.
bool Lines_as_written(const File& names, bool cut, std::string* lines) {
    if (!names.readable) {
        return false;
    }
    const std::string_view text = names.bytes;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.find_first_not_of(" \t\r\v\f") == std::string_view::npos) {
            continue;
        }
        if (cut && end == text.size()) {
            if (line.back() == '\r') {
                line.remove_suffix(1);
            }
            lines->append(line);
            break;
        }
        StoredLine record;
        char formatted[LINE_TEXT_SIZE];
        const std::size_t length =
            Parse_line(line, &record) ? Format_line(record.name, record, formatted) : 0;
        if (length == 0) {
            return false;
        }
        lines->append(formatted, length);
    }
    return true;
}

// A delete pair's name file that holds only lines of the store's, as a delete of the store writes
// them, whatever line ends the store or the writer used.
bool Start_of_one_line_less(const File& part, const File& whole) {
    std::string p;
    std::string w;
    return Lines_as_written(part, true, &p) && Lines_as_written(whole, false, &w) &&
           Start_of_one_record_less(p, w, [](std::string_view lines, std::size_t at) {
               const std::size_t before =
                   at == 0 ? std::string_view::npos : lines.rfind('\n', at - 1);
               const std::size_t end = std::min(lines.find('\n', at), lines.size() - 1);
               return std::pair{before == std::string_view::npos ? 0 : before + 1, end + 1};
           });
}

struct Folder {
    File name = Load(MODEL_NAME_FILE);
    File wave = Load(MODEL_WAVE_FILE);
    File delete_name = Load(DELETE_TEMP_NAME_FILE);
    File delete_wave = Load(DELETE_TEMP_WAVE_FILE);
    File save_name = Load(SAVE_TEMP_NAME_FILE);
    File save_wave = Load(SAVE_TEMP_WAVE_FILE);
};

bool Delete_pair_is_the_store(const Folder& f) {
    if (Whole(f.delete_name, f.delete_wave) && Empty(f.name) &&
        (Empty(f.wave) || One_block_less(f.delete_wave, f.wave))) {
        return true;
    }
    // The name file renamed into place; the wave file deleted, its rename still to come.
    return !f.delete_name.exists && f.delete_wave.exists && Empty(f.wave) &&
           Whole(f.name, f.delete_wave);
}

// The name file may be a legacy save's copy of its pair's rather than the one a delete renamed
// into place: it is a start of the save pair's name file, or that file cannot be read.
bool May_be_a_save_copy(const Folder& f) {
    return f.save_name.exists && !Empty(f.name) &&
           (!f.save_name.readable || (!f.save_name.bytes.empty() && Starts(f.save_name, f.name)));
}

// The wave file holds nothing that the save pair's lacks but the one block a save replaces: it is
// a start of that file, or that file in its place with one block replaced.
bool Replaced_by(const File& wave, const File& save_wave) {
    if (Starts(save_wave, wave)) {
        return true;
    }
    const std::string& w = wave.bytes;
    const std::string& s = save_wave.bytes;
    if (!wave.readable || w.size() % WAVE_SAMPLES != 0 || w.size() > s.size()) {
        return false;
    }
    int replaced = 0;
    for (std::size_t at = 0; at < w.size(); at += WAVE_SAMPLES) {
        replaced += w.compare(at, WAVE_SAMPLES, s, at, WAVE_SAMPLES) == 0 ? 0 : 1;
    }
    return replaced <= 1;
}

bool Save_pair_is_the_store(const Folder& f) {
    if (!Whole(f.save_name, f.save_wave) || f.save_name.bytes.empty() ||
        !Replaced_by(f.wave, f.save_wave)) {
        return false;
    }
    if (Same(f.name, f.save_name)) {
        return !Same(f.wave, f.save_wave);
    }
    return Starts(f.save_name, f.name) &&
           (!Whole(f.name, f.wave) || (Empty(f.name) && Empty(f.wave)));
}

// A leftover that holds nothing the store does not: missing, empty, a copy of its store file, or
// `held` by the store.
bool Stale(const File& leftover, const File& store_file, bool held) {
    return !leftover.exists || (leftover.readable && leftover.bytes.empty()) ||
           Same(leftover, store_file) || (leftover.readable && held);
}

bool Any_leftover() {
    for (const char* file :
         {DELETE_TEMP_NAME_FILE, DELETE_TEMP_WAVE_FILE, SAVE_TEMP_NAME_FILE, SAVE_TEMP_WAVE_FILE}) {
        if (FileExists(file)) {
            return true;
        }
    }
    return false;
}

std::string Files_to_check() {
    std::string files;
    for (const char* file : {MODEL_NAME_FILE, MODEL_WAVE_FILE}) {
        files += std::string("\n") + file + (FileExists(file) ? "" : " (없음)");
    }
    for (const char* file :
         {DELETE_TEMP_NAME_FILE, DELETE_TEMP_WAVE_FILE, SAVE_TEMP_NAME_FILE, SAVE_TEMP_WAVE_FILE}) {
        if (FileExists(file)) {
            files += std::string("\n") + file;
        }
    }
    return files;
}

bool Put_in_place(const TempPair& pair) {
    return Write_commit_marker(pair) && SyncWorkingDirectory() == 0 && Finish_replacement(pair);
}

std::string Pair_text(const TempPair& pair) {
    return std::string(pair.name_file) + " and " + pair.wave_file;
}

// The files that `present` keeps, joined by ", ".
template <typename Present>
std::string Listed(std::initializer_list<const char*> files, Present present) {
    std::string listed;
    for (const char* file : files) {
        if (present(file)) {
            listed += (listed.empty() ? "" : ", ") + std::string(file);
        }
    }
    return listed;
}

// What support reads of a store that refuses changes.
void Log_locked() {
    surge_log::Write("store",
                     "locked: the folder does not tell which files are the store; every file kept "
                     "and changes refused until they are checked: " +
                         Listed({MODEL_NAME_FILE, MODEL_WAVE_FILE, DELETE_TEMP_NAME_FILE,
                                 DELETE_TEMP_WAVE_FILE, SAVE_TEMP_NAME_FILE, SAVE_TEMP_WAVE_FILE},
                                [](const char* file) { return FileExists(file) == 1; }));
}

}  // namespace

Recovery Recover_interrupted_replacement(std::string* files_to_check) {
    if (FileExists(COMMIT_MARKER_FILE)) {
        TempPair pair{};
        if (!Read_commit_marker(&pair)) {
            surge_log::Write("store", std::string(COMMIT_MARKER_FILE) +
                                          " cannot be read: the store is not opened");
            Warn_damaged(COMMIT_MARKER_FILE, 0);
            return Recovery::Failed;
        }
        if (!Finish_replacement(pair)) {
            surge_log::Write("store", "an interrupted change cannot be finished: " +
                                          Pair_text(pair) + " not put in place");
            Warn(STORE_WRITE_FAILED_TEXT);
            return Recovery::Failed;
        }
        surge_log::Write("store", "an interrupted change finished: " + Pair_text(pair) +
                                      " put in place, as " + COMMIT_MARKER_FILE + " named");
    }
    // A marker that never took its place names a pair and holds no master.
    if (FileExists(COMMIT_MARKER_TEMP_FILE)) {
        DeleteFile(COMMIT_MARKER_TEMP_FILE);
        surge_log::Write("store", std::string(COMMIT_MARKER_TEMP_FILE) +
                                      ", a commit marker that never took its place, deleted");
    }
    // Each round finishes one pair, or deletes what is stale.
    for (int round = 0; round < 3 && Any_leftover(); ++round) {
        const Folder f;
        const bool delete_pair = Delete_pair_is_the_store(f);
        const bool save_pair = Save_pair_is_the_store(f);
        if (delete_pair && (save_pair || May_be_a_save_copy(f))) {
            break;
        }
        if (delete_pair || save_pair) {
            const TempPair& pair = delete_pair ? DELETE_PAIR : SAVE_PAIR;
            const std::string change = delete_pair ? "a delete" : "a save";
            if (!Put_in_place(pair)) {
                surge_log::Write("store", change + " cut short cannot be finished: " +
                                              Pair_text(pair) + " not put in place");
                Warn(STORE_WRITE_FAILED_TEXT);
                return Recovery::Failed;
            }
            surge_log::Write("store", change + " cut short finished: " + Pair_text(pair) +
                                          " put in place of the store");
            continue;
        }
        // A delete of this store writes it less one record, or a start of that when it was cut
        // short; a delete pair's file that is anything else, whole pair or not, may be the only
        // copy of other masters. A save pair that is not the store is a change given up.
        const bool whole = Whole(f.name, f.wave);
        if (!Stale(f.delete_name, f.name, whole && Start_of_one_line_less(f.delete_name, f.name)) ||
            !Stale(f.delete_wave, f.wave,
                   whole && Start_of_one_block_less(f.delete_wave, f.wave)) ||
            !Stale(f.save_name, f.name, whole) || !Stale(f.save_wave, f.wave, whole)) {
            break;
        }
        // One that cannot be deleted does no harm: every change starts its pair empty.
        const std::string deleted =
            Listed({DELETE_TEMP_NAME_FILE, DELETE_TEMP_WAVE_FILE, SAVE_TEMP_NAME_FILE,
                    SAVE_TEMP_WAVE_FILE},
                   [](const char* file) { return FileExists(file) == 1 && DeleteFile(file) == 0; });
        if (!deleted.empty()) {
            surge_log::Write("store",
                             "left by a change given up, holding nothing the store does "
                             "not, deleted: " +
                                 deleted);
        }
        return Recovery::Clean;
    }
    if (Any_leftover()) {
        *files_to_check = Files_to_check();
        Log_locked();
        return Recovery::Locked;
    }
    return Recovery::Clean;
}

}  // namespace store_internal
