// Writing the exports: into a temporary file beside the target, made durable, then renamed.
#include "history/history_export.h"

#include <cstdio>
#include <string>

#include "records/csv_cell.h"
#include "toolkit/toolkit.h"

namespace history {

namespace {

constexpr const char* BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// The open temporary file; removed unless Finish put it in the target's place.
class PendingFile {
  public:
    explicit PendingFile(const std::string& target)
        : target_(target),
          temporary_(target + ".part"),
          file_(std::fopen(temporary_.c_str(), "wb")) {
        ok_ = file_ != nullptr;
        Write(BYTE_ORDER_MARK);
    }
    ~PendingFile() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
        if (!done_) {
            std::remove(temporary_.c_str());
        }
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool Write(const std::string& text) {
        ok_ = ok_ && std::fwrite(text.data(), 1, text.size(), file_) == text.size();
        return ok_;
    }
    bool Finish() {
        ok_ = ok_ && FlushFileToDisk(file_) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        done_ = ok_ && closed && RenameFile(temporary_.c_str(), target_.c_str()) == 0;
        return done_;
    }

  private:
    std::string target_;
    std::string temporary_;
    std::FILE* file_;
    bool ok_ = false;
    bool done_ = false;
};

std::string CsvRow(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) {
            line += ',';
        }
        line += CsvCell(cells[i]);
    }
    line += "\r\n";
    return line;
}

}  // namespace

ExportResult ExportRecords(const Reader& reader, const Filter& filter, const std::string& path) {
    PendingFile file(path);
    if (!file.Write(CsvRow(ExportColumns()))) {
        return ExportResult::WRITE_FAILED;
    }
    // A failed write stops the scan, which then reads as whole.
    const bool read = ScanRecords(reader, filter, [&file](const std::vector<std::string>& cells) {
        return file.Write(CsvRow(cells));
    });
    if (!read) {
        return ExportResult::READ_FAILED;
    }
    return file.Finish() ? ExportResult::WRITTEN : ExportResult::WRITE_FAILED;
}

bool ExportWaves(const std::string& path, const std::optional<Wave>& standard,
                 const std::optional<Wave>& measured) {
    PendingFile file(path);
    if (!file.Write("index,standard,measured\r\n")) {
        return false;
    }
    for (int i = 0; i < WAVE_SAMPLES; ++i) {
        const std::string row =
            std::to_string(i) + ',' + (standard ? std::to_string((*standard)[i]) : std::string()) +
            ',' + (measured ? std::to_string((*measured)[i]) : std::string()) + "\r\n";
        if (!file.Write(row)) {
            return false;
        }
    }
    return file.Finish();
}

}  // namespace history
