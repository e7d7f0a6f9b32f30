// A master's version: the digest of its bytes as the store keeps them, so that a record tells
// which master, exactly, judged the unit.
#include <cstdio>
#include <string>

#include "master/master.h"
#include "master/store_internal.h"
#include "toolkit/toolkit.h"
#include "trail/digest.h"

using namespace store_internal;

std::string Stored_bytes(const MasterRecord& master) {
    std::string name;
    char line[LINE_TEXT_SIZE];
    if (!ToLegacyText(master.name, &name)) {
        return std::string();
    }
    const std::size_t length = Format_line(name.c_str(), master, line);
    if (length == 0) {
        return std::string();
    }
    std::string bytes(line, length);
    bytes.append(reinterpret_cast<const char*>(master.wave.data()), WAVE_SAMPLES);
    return bytes;
}

std::string Master_version(const MasterRecord& master) {
    const std::string bytes = Stored_bytes(master);
    return bytes.empty() ? std::string() : trail::Sha256Hex(bytes);
}

// Read from the store's files as they are, without the recovery an opening of the store does.
bool Is_stored(const MasterRecord& master) {
    const std::string wanted = Stored_bytes(master);
    std::FILE* names = wanted.empty() ? nullptr : std::fopen(MODEL_NAME_FILE, "rb");
    std::FILE* waves = names == nullptr ? nullptr : std::fopen(MODEL_WAVE_FILE, "rb");
    bool found = false;
    if (waves != nullptr) {
        LineReader lines(names);
        StoredLine line;
        MasterRecord record;
        for (LineRead read = lines.Next(&line);
             !found && read != LineRead::End && read != LineRead::Failed;
             read = lines.Next(&line)) {
            const bool whole = Read_block(waves, &record.wave);
            found = whole && read == LineRead::Record && To_record(line, &record) &&
                    Stored_bytes(record) == wanted;
            if (!whole) {
                break;
            }
        }
    }
    for (std::FILE* file : {names, waves}) {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    return found;
}

std::string Master_description(const MasterRecord& master) {
    char line[LINE_TEXT_SIZE];
    const std::size_t length = Format_line(master.name, master, line);
    std::string text = length > 0 ? std::string(line, length - 1) : std::string(master.name);
    return text + " · " + Master_version(master);
}
