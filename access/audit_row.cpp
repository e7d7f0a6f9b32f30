#include "access/audit_row.h"

namespace access_control {

namespace {

void Field(std::string* text, const char* name, const std::string& value) {
    *text += name;
    *text += '=';
    for (const char c : value) {
        if (c == '\\') {
            *text += "\\\\";
        } else if (c == '\n') {
            *text += "\\n";
        } else {
            *text += c;
        }
    }
    *text += '\n';
}

}  // namespace

std::string CanonicalText(const AuditRow& row) {
    std::string text = "surge-audit 1\n";
    Field(&text, "seq", std::to_string(row.seq));
    Field(&text, "at", row.at);
    Field(&text, "station", row.station);
    Field(&text, "user", row.user);
    Field(&text, "role", row.role);
    Field(&text, "action", row.action);
    Field(&text, "object", row.object);
    Field(&text, "before", row.before);
    Field(&text, "after", row.after);
    Field(&text, "reason", row.reason);
    Field(&text, "prev", row.prev_hash);
    return text;
}

long long FirstBrokenRow(const std::vector<AuditRow>& rows,
                         const std::vector<std::string>& computed) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string& before = i == 0 ? GENESIS : rows[i - 1].hash;
        const bool follows = i == 0 || rows[i].seq == rows[i - 1].seq + 1;
        if (rows[i].hash != computed[i] || rows[i].prev_hash != before || !follows) {
            return static_cast<long long>(i);
        }
    }
    return -1;
}

}  // namespace access_control
