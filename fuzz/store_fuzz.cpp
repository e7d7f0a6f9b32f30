// Fuzz target: the master store over arbitrary "model_name.dat" and "model_wave.dat" files.
//
// The input, little-endian, bytes past its end reading as zero:
//   byte 0       n, signed: the record read, then deleted
//   byte 1       the answers to "replace the master of the same name?": bit i for question i
//   byte 2       files left by a change that was cut short, each a copy of the store file of
//                its kind: bit 0 temp_name.dat, 1 temp_wave.dat, 2 temp_model_name.dat,
//                3 temp_model_wave.dat, 4 temp_commit.dat; and the commit marker
//                model_commit.dat, holding: bit 7 the first 200 bytes of "model_name.dat",
//                then bit 5 the line naming the delete pair, then bit 6 the save pair's line
//   byte 3       P: "model_name.dat" starts with P x 260 blank lines, which carries its lines
//                across the 64 KiB reads of the store's line reader
//   bytes 4-7    the current master's voltage (the float's bits)
//   bytes 8-27   its width, pulse_no, area, phase and corona (int32 each)
//   byte 28      its wave: sample i is this byte plus i
//   byte 29      L, the length of the name saved (at most 39)
//   L bytes      the name entered, and master_name
//   2 bytes      M, the length of "model_name.dat"
//   M bytes      "model_name.dat"
//   the rest     "model_wave.dat"
//
// One run does what the panels do: the list scan, reading record n, deleting record n, then a
// save. After each step the store must have kept its promises: a step that fails has told the
// operator and left both files byte for byte as they were; a step that succeeds has said
// nothing, unless the store was damaged, which the scan tells once and a change once; every
// listed record can be read and deleted, and a valid name saved; a change leaves one 300-byte
// block per line and exactly the records it should, and moves every line and byte it could not
// read, unchanged, to the set-aside file; no temporary or marker file is left behind.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "app/surge.h"
#include "fuzz/fuzz_targets.h"
#include "log/log.h"
#include "master/master.h"
#include "state/surge_state.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace fs = std::filesystem;

namespace {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t Word() {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        }
        return word;
    }
    std::string Bytes(std::size_t count) {
        count = std::min(count, size_ - at_);
        std::string bytes(reinterpret_cast<const char*>(data_ + at_), count);
        at_ += count;
        return bytes;
    }
    std::string Rest() { return Bytes(size_ - at_); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The scratch folder: the current directory while one input runs, emptied before it, removed
// at exit. Between inputs the directory is the caller's again, so that libFuzzer's relative
// paths keep their meaning.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "surge-fuzz-store-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("surge fuzz: scratch folder");
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

ScratchDir& Scratch() {
    static ScratchDir dir;
    return dir;
}

class InScratch {
  public:
    InScratch() : previous_(fs::current_path()) {
        for (const auto& entry : fs::directory_iterator(Scratch().Path())) {
            fs::remove_all(entry.path());
        }
        fs::current_path(Scratch().Path());
    }
    ~InScratch() { fs::current_path(previous_); }
    InScratch(const InScratch&) = delete;
    InScratch& operator=(const InScratch&) = delete;

  private:
    fs::path previous_;
};

std::string ReadBytes(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const char* name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Store {
    std::string names;
    std::string waves;
    bool operator==(const Store&) const = default;
};

Store ReadStore() {
    return {ReadBytes(MODEL_NAME_FILE), ReadBytes(MODEL_WAVE_FILE)};
}

std::string Block(const std::string& waves, std::size_t index) {
    return waves.substr(index * WAVE_SAMPLES, WAVE_SAMPLES);
}

std::string WaveOf(const Wave& samples) {
    return std::string(reinterpret_cast<const char*>(samples.data()), WAVE_SAMPLES);
}

struct Scan {
    bool ok = false;
    std::vector<MasterRecord> rows;
};

Scan List() {
    Scan scan;
    scan.ok = List_scan([&scan](const MasterRecord& row) { scan.rows.push_back(row); });
    return scan;
}

std::size_t Popups() {
    return toolkit_testing::ShownPopups().size();
}

// Only the two store files, the set-aside file and the log may be left in the folder.
void RequireNoLeftovers(const std::string& step) {
    for (const auto& entry : fs::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (name != MODEL_NAME_FILE && name != MODEL_WAVE_FILE && name != SET_ASIDE_FILE &&
            name.rfind(surge_log::LOG_FILE, 0) != 0) {
            FuzzFail((step + " left " + name + " behind").c_str());
        }
    }
}

// The lines that hold anything but white space, without their line end: the store's positions.
std::vector<std::string_view> PositionLines(const std::string& names) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < names.size()) {
        std::size_t end = names.find('\n', start);
        end = end == std::string::npos ? names.size() : end;
        const std::string_view line(names.data() + start, end - start);
        if (line.find_first_not_of(" \t\r\v\f") != std::string_view::npos) {
            lines.push_back(line);
        }
        start = end + 1;
    }
    return lines;
}

std::size_t Records(const std::string& names) {
    return PositionLines(names).size();
}

// The pieces that a change appended to the set-aside file must be the store's own lines and
// bytes at the positions they name, and hold every wave byte that no line owns; every other
// line must be a record with its block. Returns the records' positions (from 1), in order.
std::vector<std::size_t> CheckSetAside(const Store& before, const std::string& pieces,
                                       const std::string& step) {
    const std::vector<std::string_view> lines = PositionLines(before.names);
    std::vector<bool> is_record(lines.size(), true);
    std::size_t unowned_bytes = 0;
    std::size_t at = 0;
    while (at < pieces.size()) {
        const std::size_t header_end = pieces.find('\n', at);
        char file[32] = "";
        std::size_t position = 0;
        std::size_t length = 0;
        const std::string header = pieces.substr(at, header_end - at);
        FuzzRequire(
            header_end != std::string::npos &&
                std::sscanf(header.c_str(), "%31s %zu %zu", file, &position, &length) == 3 &&
                header_end + 1 + length < pieces.size() &&
                pieces[header_end + 1 + length] == '\n' && position >= 1,
            (step + " set aside a piece without its header").c_str());
        const std::string bytes = pieces.substr(header_end + 1, length);
        at = header_end + 2 + length;
        if (std::strcmp(file, MODEL_NAME_FILE) == 0) {
            FuzzRequire(position <= lines.size() && bytes == lines[position - 1],
                        (step + " set aside a line other than the store's").c_str());
            is_record[position - 1] = false;
            continue;
        }
        const std::size_t offset = (position - 1) * WAVE_SAMPLES;
        FuzzRequire(std::strcmp(file, MODEL_WAVE_FILE) == 0 && offset < before.waves.size() &&
                        bytes == before.waves.substr(offset, WAVE_SAMPLES),
                    (step + " set aside bytes other than the store's").c_str());
        unowned_bytes += position > lines.size() ? bytes.size() : 0;
    }
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (is_record[i]) {
            FuzzRequire((i + 1) * WAVE_SAMPLES <= before.waves.size(),
                        (step + " kept a line without its block").c_str());
            positions.push_back(i + 1);
        }
    }
    const std::size_t owned = std::min(before.waves.size(), lines.size() * WAVE_SAMPLES);
    FuzzRequire(unowned_bytes == before.waves.size() - owned,
                (step + " dropped wave bytes that no line owns").c_str());
    return positions;
}

// The blocks at `positions` (from 1), in order.
std::string BlocksAt(const std::string& waves, const std::vector<std::size_t>& positions) {
    std::string blocks;
    for (std::size_t position : positions) {
        blocks += waves.substr((position - 1) * WAVE_SAMPLES, WAVE_SAMPLES);
    }
    return blocks;
}

std::string SetAsideFile() {
    return ReadBytes(SET_ASIDE_FILE);
}

// What a step appended to the set-aside file, which only ever grows.
std::string Appended(const std::string& before, const std::string& step) {
    const std::string after = SetAsideFile();
    FuzzRequire(after.compare(0, before.size(), before) == 0,
                (step + " changed what was set aside before").c_str());
    return after.substr(before.size());
}

// A change leaves a store of one block per line, holding `records` records.
void RequireParallel(const Store& after, std::size_t records, const std::string& step) {
    // The writer's lines: one line end per record, nothing else.
    const auto lines =
        static_cast<std::size_t>(std::count(after.names.begin(), after.names.end(), '\n'));
    FuzzRequire(lines == Records(after.names) && lines * WAVE_SAMPLES == after.waves.size(),
                (step + " left a line count that is not the wave length / 300").c_str());
    FuzzRequire(lines == records, (step + " left the wrong number of records").c_str());
}

bool SameBits(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// A voltage written with one decimal and read back.
bool WrittenVoltage(float written, float read) {
    if (std::isnan(written) || std::isnan(read)) {
        return std::isnan(written) && std::isnan(read);
    }
    if (std::isinf(written) || std::isinf(read)) {
        return written == read;
    }
    const double error = std::fabs(static_cast<double>(written) - static_cast<double>(read));
    return error <= 0.05 + std::fabs(static_cast<double>(written)) * 1e-6;
}

bool SameParameters(const MasterRecord& a, const MasterRecord& b) {
    return a.width == b.width && a.pulse_no == b.pulse_no && a.area == b.area &&
           a.phase == b.phase && a.corona == b.corona;
}

// A row as the list shows it after a change rewrote `before`'s line.
bool RewrittenRow(const MasterRecord& before, const MasterRecord& after) {
    return std::strcmp(before.name, after.name) == 0 && SameParameters(before, after) &&
           WrittenVoltage(before.voltage, after.voltage);
}

void RequireRows(const Scan& scan, const std::vector<MasterRecord>& expected,
                 const std::string& step) {
    FuzzRequire(scan.ok, (step + " left a store that no longer lists").c_str());
    FuzzRequire(scan.rows.size() == expected.size(),
                (step + " left the wrong number of records").c_str());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        FuzzRequire(RewrittenRow(expected[i], scan.rows[i]),
                    (step + " changed or mixed up a record's line").c_str());
    }
}

// The scan lists the records with a block and warns once when anything else is in the store.
// Returns whether it warned.
bool CheckListScan(const Store& before, const Scan& scan) {
    RequireNoLeftovers("the list scan");
    FuzzRequire(ReadStore() == before, "the list scan changed the store");
    FuzzRequire(scan.ok && file_opened == 1, "the list scan left the store closed");
    const std::size_t positions = Records(before.names);
    const bool sound =
        scan.rows.size() == positions && positions * WAVE_SAMPLES == before.waves.size();
    FuzzRequire(Popups() == (sound ? 0U : 1U), sound ? "a list scan of a sound store warned"
                                                     : "a damaged store was not told of once");
    FuzzRequire(scan.rows.size() * WAVE_SAMPLES <= before.waves.size(),
                "the list scan listed more records than there are blocks");
    return !sound;
}

void CheckReadRecord(const Store& before, const Scan& scan, bool damaged, int n, bool ok,
                     const MasterRecord& current) {
    RequireNoLeftovers("reading a record");
    FuzzRequire(ReadStore() == before, "reading a record changed the store");
    const bool listed = n >= 1 && static_cast<std::size_t>(n) <= scan.rows.size();
    if (!ok) {
        FuzzRequire(Popups() == (n >= 1 ? 1U : 0U), "a failed read did not warn exactly once");
        FuzzRequire(!listed, "a listed record could not be read");
        return;
    }
    FuzzRequire(Popups() == 0, "a read that succeeded showed a warning");
    FuzzRequire(listed, "a record past the listed ones was read");
    const auto index = static_cast<std::size_t>(n - 1);
    const MasterRecord& row = scan.rows[index];
    FuzzRequire(std::strcmp(current.name, row.name) == 0 && SameParameters(current, row) &&
                    SameBits(current.voltage, row.voltage),
                "record n read back other than the list shows it");
    // Record n's block is block n of a sound store; of a damaged one, block n or a later one.
    bool found = false;
    for (std::size_t k = index; !found && (k + 1) * WAVE_SAMPLES <= before.waves.size(); ++k) {
        found = WaveOf(current.wave) == Block(before.waves, k);
        FuzzRequire(found || damaged, "record n took another's block");
    }
    FuzzRequire(found, "a record was read without its wave block");
}

// Returns the store's listing afterwards.
Scan CheckDeleteRecord(const Store& before, const Scan& scan, bool damaged, int n, bool ok,
                       const std::string& set_aside, const MasterRecord& current) {
    RequireNoLeftovers("deleting a record");
    FuzzRequire(file_opened == 1, "deleting a record left the store closed");
    const Store after = ReadStore();
    const std::string pieces = Appended(set_aside, "deleting a record");
    const bool listed = n >= 1 && static_cast<std::size_t>(n) <= scan.rows.size();
    if (!ok) {
        FuzzRequire(after == before && pieces.empty(), "a delete that failed changed the store");
        FuzzRequire(Popups() == (n >= 1 ? 1U : 0U), "a failed delete did not warn exactly once");
        FuzzRequire(!listed, "a listed record could not be deleted");
        return scan;
    }
    FuzzRequire(listed, "a record past the listed ones was deleted");
    FuzzRequire(pieces.empty() != damaged && Popups() == (damaged ? 1U : 0U),
                "a delete did not set aside the damage, and tell of it once");
    const std::vector<std::size_t> positions = CheckSetAside(before, pieces, "deleting a record");
    FuzzRequire(positions.size() == scan.rows.size(),
                "the delete kept other records than the list showed");
    std::vector<std::size_t> kept = positions;
    kept.erase(kept.begin() + (n - 1));
    RequireParallel(after, kept.size(), "deleting a record");
    FuzzRequire(after.waves == BlocksAt(before.waves, kept),
                "the delete did not remove exactly record n's block");
    // The delete gives the last record read: the store's last record, or the deleted one when it
    // was the last, which is the same line.
    const MasterRecord& last = scan.rows.back();
    FuzzRequire(std::strcmp(current.name, last.name) == 0 && SameParameters(current, last) &&
                    SameBits(current.voltage, last.voltage) &&
                    WaveOf(current.wave) == BlocksAt(before.waves, {positions.back()}),
                "a delete did not give the last record read");
    std::vector<MasterRecord> expected = scan.rows;
    expected.erase(expected.begin() + (n - 1));
    toolkit_testing::ClearShownPopups();
    const Scan listing = List();
    FuzzRequire(Popups() == 0, "the store a delete left is not sound");
    RequireRows(listing, expected, "deleting a record");
    return listing;
}

void CheckSave(const Store& before, const Scan& scan, bool damaged, const MasterRecord& saved,
               int asked, unsigned answers, SaveOutcome outcome, const std::string& set_aside) {
    RequireNoLeftovers("a save");
    FuzzRequire(file_opened == 0, "a save left the store open");
    const Store after = ReadStore();
    const std::string pieces = Appended(set_aside, "a save");
    const bool valid_name = Is_valid_master_name(saved.name);
    if (outcome != SaveOutcome::Saved) {
        FuzzRequire(after == before && pieces.empty(),
                    "a save that did not take place changed the store");
    }
    if (outcome == SaveOutcome::Failed) {
        FuzzRequire(Popups() == 1, "a failed save did not warn exactly once");
        FuzzRequire(!valid_name, "a valid name could not be saved");
        return;
    }
    FuzzRequire(valid_name, "a name the store cannot hold was saved");
    if (outcome == SaveOutcome::Declined) {
        FuzzRequire(Popups() == 0, "a declined save showed a warning");
        FuzzRequire(asked >= 1 && (answers >> ((asked - 1) % 8) & 1U) == 0,
                    "a save was declined without a no");
        return;
    }
    FuzzRequire(pieces.empty() != damaged && Popups() == (damaged ? 1U : 0U),
                "a save did not set aside the damage, and tell of it once");
    const std::vector<std::size_t> positions = CheckSetAside(before, pieces, "a save");
    FuzzRequire(positions.size() == scan.rows.size(),
                "the save kept other records than the list shows");
    std::vector<MasterRecord> expected = scan.rows;
    std::string expected_waves = BlocksAt(before.waves, positions);
    int same_name = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (std::strcmp(expected[i].name, saved.name) == 0) {
            ++same_name;
            MasterRecord replaced = saved;
            std::memcpy(replaced.name, expected[i].name, sizeof replaced.name);
            expected[i] = replaced;
            expected_waves.replace(i * WAVE_SAMPLES, WAVE_SAMPLES, WaveOf(saved.wave));
        }
    }
    if (same_name == 0) {
        expected.push_back(saved);
        expected_waves += WaveOf(saved.wave);
    }
    RequireParallel(after, expected.size(), "a save");
    FuzzRequire(asked == same_name, "a save did not ask once per record of the same name");
    FuzzRequire(after.waves == expected_waves, "a save wrote the wrong wave blocks");
    toolkit_testing::ClearShownPopups();
    const Scan listing = List();
    Close_store();
    FuzzRequire(Popups() == 0, "the store a save left is not sound");
    RequireRows(listing, expected, "a save");
}

}  // namespace

void FuzzStoreSetup() {
    static const bool ready = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char program[] = "fuzz_store";
        static char* argv[] = {program, nullptr};
        if (InitRuntimeEngine(argc, argv) == 0) {
            std::abort();
        }
        toolkit_testing::ScriptPopups(true);
        Scratch();
        return true;
    }();
    (void)ready;
}

int FuzzStore(const std::uint8_t* data, std::size_t size) {
    FuzzStoreSetup();
    Close_store();
    const InScratch in_scratch;

    Input in(data, size);
    const int n = static_cast<std::int8_t>(in.Byte());
    const unsigned answers = in.Byte();
    const unsigned leftovers = in.Byte();
    const std::size_t padding = in.Byte() * std::size_t{260};
    MasterRecord saved;
    saved.voltage = std::bit_cast<float>(in.Word());
    for (int* field : {&saved.width, &saved.pulse_no, &saved.area, &saved.phase, &saved.corona}) {
        *field = static_cast<std::int32_t>(in.Word());
    }
    const std::uint8_t seed = in.Byte();
    for (int i = 0; i < WAVE_SAMPLES; ++i) {
        saved.wave[i] = static_cast<signed char>(static_cast<std::uint8_t>(seed + i));
    }
    const std::string name = in.Bytes(std::min<std::size_t>(in.Byte(), sizeof saved.name - 1));
    std::snprintf(saved.name, sizeof saved.name, "%s", name.c_str());
    const std::size_t names_low = in.Byte();
    const std::size_t names_length = names_low | static_cast<std::size_t>(in.Byte()) << 8;
    Store given;
    given.names = std::string(padding, '\n') + in.Bytes(names_length);
    given.waves = in.Rest();

    WriteBytes(MODEL_NAME_FILE, given.names);
    WriteBytes(MODEL_WAVE_FILE, given.waves);
    const char* const left_behind[] = {DELETE_TEMP_NAME_FILE, DELETE_TEMP_WAVE_FILE,
                                       SAVE_TEMP_NAME_FILE, SAVE_TEMP_WAVE_FILE,
                                       COMMIT_MARKER_TEMP_FILE};
    for (int bit = 0; bit < 5; ++bit) {
        if ((leftovers >> bit & 1U) != 0) {
            WriteBytes(left_behind[bit], bit % 2 == 0 ? given.names : given.waves);
        }
    }
    if ((leftovers & 0xE0U) != 0) {
        const std::string delete_pair =
            std::string(DELETE_TEMP_NAME_FILE) + " " + DELETE_TEMP_WAVE_FILE + "\n";
        const std::string save_pair =
            std::string(SAVE_TEMP_NAME_FILE) + " " + SAVE_TEMP_WAVE_FILE + "\n";
        const std::string marker = ((leftovers & 0x80U) != 0 ? given.names.substr(0, 200) : "") +
                                   ((leftovers & 0x20U) != 0 ? delete_pair : "") +
                                   ((leftovers & 0x40U) != 0 ? save_pair : "");
        WriteBytes(COMMIT_MARKER_FILE, marker);
        if (marker != delete_pair && marker != save_pair) {
            // A marker that names no pair: nothing can tell which files are whole, so the store
            // stays closed and untouched, and says so.
            toolkit_testing::ClearShownPopups();
            FuzzRequire(!List().ok && Popups() == 1 && ReadStore() == given &&
                            FileExists(COMMIT_MARKER_FILE),
                        "a damaged commit marker was not refused");
            return 0;
        }
    }

    // The list panel opens: the list scan.
    toolkit_testing::ClearShownPopups();
    Scan scan = List();
    bool damaged = CheckListScan(given, scan);

    // A selection: record n.
    toolkit_testing::ClearShownPopups();
    MasterRecord read;
    bool ok = Read_record(n, &read);
    CheckReadRecord(given, scan, damaged, n, ok, read);

    // A delete of record n, which leaves the store open.
    toolkit_testing::ClearShownPopups();
    Open_store();
    const Store before_delete = ReadStore();
    std::string set_aside = SetAsideFile();
    MasterRecord last;
    ok = Delete_record(n, &last);
    scan = CheckDeleteRecord(before_delete, scan, damaged, n, ok, set_aside, last);
    damaged = damaged && !ok;
    Close_store();

    // A save from the registration panel, the store closed.
    toolkit_testing::ClearShownPopups();
    const Store before_save = ReadStore();
    set_aside = SetAsideFile();
    int asked = 0;
    const SaveOutcome outcome = Save_rewrite(saved, [&asked, answers] {
        const bool yes = (answers >> (asked % 8) & 1U) != 0;
        ++asked;
        return yes;
    });
    CheckSave(before_save, scan, damaged, saved, asked, answers, outcome, set_aside);

    Close_store();
    return 0;
}

SURGE_FUZZ_ENTRY(FuzzStore)

#ifdef SURGE_LIBFUZZER
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    FuzzStoreSetup();
    return 0;
}
#endif
