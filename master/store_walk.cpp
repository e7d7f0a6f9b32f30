// A rewrite's pass over the store, and the file that keeps what it cannot carry over.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "log/log.h"
#include "master/store_internal.h"
#include "toolkit/toolkit.h"

namespace store_internal {

void SetAside::Add(const char* file, int position, std::string_view bytes) {
    pieces_ += std::string(file) + " " + std::to_string(position) + " " +
               std::to_string(bytes.size()) + "\n";
    pieces_.append(bytes);
    pieces_ += '\n';
}

bool SetAside::Write() const {
    std::FILE* file = std::fopen(SET_ASIDE_FILE, "ab");
    if (file == nullptr) {
        return false;
    }
    const long kept = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    bool ok = kept >= 0 && std::fwrite(pieces_.data(), 1, pieces_.size(), file) == pieces_.size();
    ok = FlushFileToDisk(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    // A piece cut short would run into the next change's: only this append's bytes go.
    if (!ok && kept >= 0) {
        std::error_code ignored;
        std::filesystem::resize_file(SET_ASIDE_FILE, static_cast<std::uintmax_t>(kept), ignored);
    }
    surge_log::Write("store", std::string(ok ? "what a change could not carry set aside in "
                                             : "what a change could not carry not set aside in ") +
                                  SET_ASIDE_FILE + ": " + std::to_string(pieces_.size()) +
                                  " bytes");
    return ok;
}

StoreWalk::StoreWalk(SetAside* aside) : lines_(fp_model), aside_(aside) {
    std::rewind(fp_data);
}

StoreWalk::Item StoreWalk::Next() {
    const LineRead read = lines_.Next(&line_);
    if (read == LineRead::Failed) {
        return Item::Failed;
    }
    char block[WAVE_SAMPLES];
    if (read == LineRead::End) {
        // The blocks that no line owns.
        std::size_t got = 0;
        while ((got = std::fread(block, 1, sizeof block, fp_data)) > 0) {
            aside_->Add(MODEL_WAVE_FILE, ++position_, std::string_view(block, got));
        }
        return std::ferror(fp_data) ? Item::Failed : Item::End;
    }
    ++position_;
    const std::size_t got = std::fread(block, 1, sizeof block, fp_data);
    if (got < sizeof block && std::ferror(fp_data)) {
        return Item::Failed;
    }
    if (read == LineRead::Record && got == sizeof block && To_record(line_, &record_)) {
        std::memcpy(record_.wave.data(), block, sizeof block);
        return Item::Record;
    }
    aside_->Add(MODEL_NAME_FILE, position_, lines_.text());
    if (got > 0) {
        aside_->Add(MODEL_WAVE_FILE, position_, std::string_view(block, got));
    }
    return Item::SetAside;
}

}  // namespace store_internal

namespace store_internal {

Rewritten Rewrite_records(TempFiles* temp, SetAside* aside, const MasterRecord& replacement,
                          const std::function<RecordFate(int k, const StoredLine& line)>& fate,
                          MasterRecord* last) {
    StoreWalk walk(aside);
    int k = 0;
    for (;;) {
        const StoreWalk::Item item = walk.Next();
        if (item == StoreWalk::Item::End) {
            return Rewritten::Done;
        }
        if (item == StoreWalk::Item::Failed) {
            return Rewritten::ReadFailed;
        }
        if (item == StoreWalk::Item::SetAside) {
            continue;
        }
        ++k;
        *last = walk.record();
        const StoredLine& line = walk.line();
        bool written = true;
        switch (fate(k, line)) {
            case RecordFate::Decline:
                return Rewritten::Declined;
            case RecordFate::Drop:
                break;
            case RecordFate::Keep:
                written = Write_line(temp->name, line.name, line) &&
                          Write_block(temp->wave, walk.record().wave);
                break;
            case RecordFate::Replace:
                written = Write_line(temp->name, line.name, replacement) &&
                          Write_block(temp->wave, replacement.wave);
                break;
        }
        if (!written) {
            return Rewritten::WriteFailed;
        }
        Step("record_written");
    }
}

}  // namespace store_internal
