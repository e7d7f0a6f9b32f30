// What the store's own files share: the stored line format, and the replacement of the two
// store files by a temporary pair.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "master/master.h"

namespace store_internal {

// A stored line is far shorter; anything longer is damage, not a name.
constexpr int LINE_LIMIT = 256;
constexpr std::size_t STORED_NAME_LIMIT = MODEL_NAME_SIZE - 1;

// A line of "model_name.dat" as stored: the name in code page 949 bytes.
struct StoredLine : MasterParameters {
    char name[STORED_NAME_LIMIT + 1] = "";
};

enum class LineRead { Record, End, Damaged, Failed };

// Reads "model_name.dat" from its start, line by line, through a buffer of its own: one fread
// per 64 KiB rather than a locked getc per byte.
class LineReader {
  public:
    explicit LineReader(std::FILE* file);
    // The next line that holds anything but white space, read whole; LF and CR LF ends read
    // alike. `text()` is that line as stored, without its LF; `line_no()` counts the lines read,
    // for the operator's message.
    LineRead Next(StoredLine* line);
    std::string_view text() const { return text_; }
    int line_no() const { return line_no_; }

  private:
    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t at_ = 0;
    std::size_t filled_ = 0;
    std::string text_;
    int line_no_ = 0;
};

// A record line: exactly the seven fields "name voltage width pulse_no area phase corona".
bool Parse_line(std::string_view text, StoredLine* line);

// The legacy line "%s %2.1f %d %d %d %d %d\n", byte for byte, in `line`; its length, or 0 for a
// name the store cannot hold.
constexpr std::size_t LINE_TEXT_SIZE = LINE_LIMIT + 64;
std::size_t Format_line(const char* name, const MasterParameters& parameters,
                        char (&line)[LINE_TEXT_SIZE]);
bool Write_line(std::FILE* file, const char* name, const MasterParameters& parameters);
bool Read_block(std::FILE* file, Wave* block);
bool Write_block(std::FILE* file, const Wave& block);
// The stored line as a record with its name in UTF-8; false when the name does not convert.
bool To_record(const StoredLine& line, MasterRecord* record);

// What the operator is told, and each step of a replacement: nothing in the station, the hook
// that tests stop the process at in theirs (store_step.cpp, store_step_hook.cpp).
void Step(const char* step);
void Warn(const char* text);
void Warn_damaged(const char* file, int line_no);

// What a rewrite cannot carry into the new store, kept byte for byte: lines that do not read
// as a record or have no whole block, and wave bytes past the last line's block. Each piece is
// appended to SET_ASIDE_FILE under a header line "<store file> <position> <byte count>" and
// followed by a line end.
class SetAside {
  public:
    void Add(const char* file, int position, std::string_view bytes);
    bool empty() const { return pieces_.empty(); }
    // Appends the pieces to the file and flushes it to disk.
    bool Write() const;

  private:
    std::string pieces_;
};

// The store's positions in file order, for a rewrite: line k with block k, both read from the
// start of fp_model and fp_data. A position is a record when its line reads, its name converts
// and its block is whole; any other position goes to the set-aside pieces.
class StoreWalk {
  public:
    enum class Item { Record, SetAside, End, Failed };

    explicit StoreWalk(SetAside* aside);
    // After End, the wave bytes past the last line's block have been set aside too.
    Item Next();
    // The record read last: its line as stored, and as a record with its block.
    const StoredLine& line() const { return line_; }
    const MasterRecord& record() const { return record_; }

  private:
    LineReader lines_;
    SetAside* aside_;
    StoredLine line_;
    MasterRecord record_;
    int position_ = 0;
};

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

// Creates the pair empty.
bool Open_pair(const TempPair& pair, TempFiles* temp);

// What a rewrite does with each record of the store, in file order: copy it as stored, write it
// with the new master's parameters and wave under its stored name, leave it out, or give the
// whole change up.
enum class RecordFate { Keep, Replace, Drop, Decline };
enum class Rewritten { Done, Declined, ReadFailed, WriteFailed };

// Writes the store's records into the open pair as `fate` says for record k (from 1), sets
// aside what is not a record, and gives the last record read in `last`.
Rewritten Rewrite_records(TempFiles* temp, SetAside* aside, const MasterRecord& replacement,
                          const std::function<RecordFate(int k, const StoredLine& line)>& fate,
                          MasterRecord* last);
// Closes the pair and deletes its files.
void Discard_pair(const TempPair& pair, TempFiles* temp);

enum class Replacement { Unchanged, Replaced, Pending };

// Closes the store, flushes the written pair to disk and puts it in place of the store.
// Unchanged: the store files are as they were. Pending: the commit marker is in place but a
// rename failed; the next opening of the store finishes the replacement.
Replacement Put_pair_in_place(const TempPair& pair, TempFiles* temp);

// The commit marker "model_commit.dat": it names a whole pair that is to take the store's place.
// Writing it flushes it and renames it into place.
bool Write_commit_marker(const TempPair& pair);
bool Read_commit_marker(TempPair* pair);
// Renames what is left of a whole pair over the store files, then removes the marker.
bool Finish_replacement(const TempPair& pair);

enum class Recovery { Clean, Locked, Failed };

// Finishes a change that was interrupted, ours or the legacy station's, where the folder shows
// which files are the store, and deletes what it left that holds nothing the store does not.
// Locked: the folder does not tell; every file is kept, `files_to_check` lists them (one line
// each) and the store must not be changed. Failed: the operator has been told why.
Recovery Recover_interrupted_replacement(std::string* files_to_check);

// The records of a name file's text, or -1 when a line that is not blank does not read.
int Count_records(std::string_view names);

}  // namespace store_internal
