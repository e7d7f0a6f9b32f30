// The stored line format of "model_name.dat" and the wave blocks of "model_wave.dat".
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "master/store_internal.h"
#include "toolkit/toolkit.h"

namespace store_internal {

namespace {

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

bool Is_ascii(const char* text) {
    for (; *text != '\0'; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool Parse_line(std::string_view text, StoredLine* line) {
    if (text.size() > static_cast<std::size_t>(LINE_LIMIT) ||
        text.find('\0') != std::string_view::npos) {
        return false;
    }
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

LineReader::LineReader(std::FILE* file) : file_(file), buffer_(1 << 16) {
    std::rewind(file);
}

LineRead LineReader::Next(StoredLine* line) {
    for (;;) {
        text_.clear();
        bool ended = false;
        while (!ended) {
            if (at_ == filled_) {
                at_ = 0;
                filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
                if (filled_ == 0) {
                    break;
                }
            }
            const char* start = buffer_.data() + at_;
            const auto* end = static_cast<const char*>(std::memchr(start, '\n', filled_ - at_));
            const std::size_t length = end == nullptr ? filled_ - at_ : end - start;
            text_.append(start, length);
            at_ += length + (end == nullptr ? 0 : 1);
            ended = end != nullptr;
        }
        if (!ended && std::ferror(file_)) {
            return LineRead::Failed;
        }
        if (!ended && text_.empty()) {
            return LineRead::End;
        }
        ++line_no_;
        if (text_.find_first_not_of(" \t\r\v\f") != std::string::npos) {
            return Parse_line(text_, line) ? LineRead::Record : LineRead::Damaged;
        }
    }
}

int Count_records(std::string_view names) {
    int records = 0;
    std::size_t start = 0;
    while (start < names.size()) {
        std::size_t end = names.find('\n', start);
        end = end == std::string_view::npos ? names.size() : end;
        const std::string_view text = names.substr(start, end - start);
        start = end + 1;
        if (text.find_first_not_of(" \t\r\v\f") == std::string_view::npos) {
            continue;
        }
        StoredLine line;
        MasterRecord record;
        if (!Parse_line(text, &line) || !To_record(line, &record)) {
            return -1;
        }
        ++records;
    }
    return records;
}

// Built with to_chars: faster than fprintf, and the voltage's point stays a point whatever the
// process locale.
std::size_t Format_line(const char* name, const MasterParameters& parameters,
                        char (&line)[LINE_TEXT_SIZE]) {
    const std::size_t name_length = std::strlen(name);
    if (name_length > STORED_NAME_LIMIT) {
        return 0;
    }
    std::memcpy(line, name, name_length);
    char* at = line + name_length;
    char* const end = line + LINE_TEXT_SIZE;
    *at++ = ' ';
    auto [after_volts, error] = std::to_chars(at, end, static_cast<double>(parameters.voltage),
                                              std::chars_format::fixed, 1);
    if (error != std::errc()) {
        return 0;
    }
    at = after_volts;
    for (int value : {parameters.width, parameters.pulse_no, parameters.area, parameters.phase,
                      parameters.corona}) {
        *at++ = ' ';
        at = std::to_chars(at, end, value).ptr;
    }
    *at++ = '\n';
    return static_cast<std::size_t>(at - line);
}

bool Write_line(std::FILE* file, const char* name, const MasterParameters& parameters) {
    char line[LINE_TEXT_SIZE];
    const std::size_t length = Format_line(name, parameters, line);
    return length > 0 && std::fwrite(line, 1, length, file) == length;
}

bool Read_block(std::FILE* file, Wave* block) {
    return std::fread(block->data(), 1, WAVE_SAMPLES, file) ==
           static_cast<std::size_t>(WAVE_SAMPLES);
}

bool Write_block(std::FILE* file, const Wave& block) {
    return std::fwrite(block.data(), 1, WAVE_SAMPLES, file) ==
           static_cast<std::size_t>(WAVE_SAMPLES);
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
    static_cast<MasterParameters&>(*record) = line;
    return true;
}

}  // namespace store_internal
