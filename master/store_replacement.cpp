// Replacing the two store files by a temporary pair. A change writes the whole new store to a
// temporary pair and flushes both files to disk; then the commit marker "model_commit.dat", naming
// the pair, is written, flushed and renamed into place; then the pair is renamed over
// "model_name.dat" and "model_wave.dat"; then the marker is removed. Opening the store finishes a
// replacement that was interrupted: a marker present means the pair is complete, so whatever is
// left of it is renamed into place (store_recovery.cpp). The two store files therefore always
// hold the same records, all old or all new.

#include <cstdio>
#include <string>
#include <string_view>

#include "master/store_internal.h"
#include "toolkit/toolkit.h"

namespace store_internal {

namespace {

bool Flush_and_close_pair(TempFiles* temp) {
    bool ok = true;
    for (std::FILE** file : {&temp->name, &temp->wave}) {
        ok = !std::ferror(*file) && FlushFileToDisk(*file) == 0 && ok;
        ok = std::fclose(*file) == 0 && ok;
        *file = nullptr;
    }
    return ok;
}

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

}  // namespace

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

Replacement Put_pair_in_place(const TempPair& pair, TempFiles* temp) {
    Step("pair_written");
    Close_store();
    if (!Flush_and_close_pair(temp)) {
        return Replacement::Unchanged;
    }
    Step("pair_flushed");
    return Replace_store_with(pair);
}

}  // namespace store_internal
