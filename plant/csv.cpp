#include "plant/csv.h"

#include "records/csv_cell.h"

namespace plant {

std::string CsvText(const std::vector<std::vector<std::string>>& rows) {
    std::string text = "\xEF\xBB\xBF";
    for (const std::vector<std::string>& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            text += (i > 0 ? "," : "") + records::CsvCell(row[i]);
        }
        text += "\r\n";
    }
    return text;
}

void SendCsv(httplib::Response& response, const std::vector<std::vector<std::string>>& rows,
             const std::string& file_name) {
    response.set_header("Content-Disposition", "attachment; filename=\"" + file_name + "\"");
    response.set_content(CsvText(rows), "text/csv; charset=utf-8");
}

}  // namespace plant
