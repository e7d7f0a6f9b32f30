#include "trail/audit_row.h"

namespace trail {

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

std::string Seq(long long seq) {
    return "seq " + std::to_string(seq);
}

// The kind of a row's text: 3 with a code, 2 with a software version, else 1.
int TextKind(const AuditRow& row) {
    return !row.code.empty() ? 3 : !row.software_version.empty() ? 2 : 1;
}

}  // namespace

std::string CanonicalText(const AuditRow& row) {
    const int kind = TextKind(row);
    std::string text = "surge-audit " + std::to_string(kind) + "\n";
    Field(&text, "seq", std::to_string(row.seq));
    Field(&text, "at", row.at);
    Field(&text, "station", row.station);
    if (kind >= 2) {
        Field(&text, "version", row.software_version);
    }
    Field(&text, "user", row.user);
    Field(&text, "role", row.role);
    Field(&text, "action", row.action);
    if (kind == 3) {
        Field(&text, "code", row.code);
    }
    Field(&text, "object", row.object);
    Field(&text, "before", row.before);
    Field(&text, "after", row.after);
    Field(&text, "reason", row.reason);
    Field(&text, "prev", row.prev_hash);
    return text;
}

std::string CanonicalTextSql(const std::string& row) {
    const auto column = [&row](const char* name) { return row + "." + name; };
    const auto field = [&column](const char* name, const char* column_name) {
        return std::string(" || '") + name + "=' || replace(replace(" + column(column_name) +
               ", '\\', '\\\\'), E'\\n', '\\n') || E'\\n'";
    };
    const std::string coded = column("code") + " <> ''";
    const std::string versioned = "(" + coded + " OR " + column("software_version") + " <> '')";
    return "CASE WHEN " + coded + " THEN 'surge-audit 3' WHEN " + versioned +
           " THEN 'surge-audit 2' ELSE 'surge-audit 1' END || E'\\n' || 'seq=' || " +
           column("seq") + "::text || E'\\n'" + field("at", "at") + field("station", "station") +
           " || CASE WHEN " + versioned + " THEN ''" + field("version", "software_version") +
           " ELSE '' END" + field("user", "user_name") + field("role", "role") +
           field("action", "action") + " || CASE WHEN " + coded + " THEN ''" +
           field("code", "code") + " ELSE '' END" + field("object", "object") +
           field("before", "before_value") + field("after", "after_value") +
           field("reason", "reason") + field("prev", "prev_hash");
}

long long FirstBrokenRow(const std::vector<AuditRow>& rows,
                         const std::vector<std::string>& computed) {
    const std::optional<ChainBreak> broken = FirstBreak(rows, computed);
    return broken ? static_cast<long long>(broken->index) : -1;
}

std::optional<ChainBreak> FirstBreak(const std::vector<AuditRow>& rows,
                                     const std::vector<std::string>& computed) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const AuditRow& row = rows[i];
        if (i > 0 && row.seq != rows[i - 1].seq + 1) {
            const long long missing = row.seq - rows[i - 1].seq - 1;
            std::string why = "the row before it is " + Seq(rows[i - 1].seq);
            if (missing == 1) {
                why += " (" + Seq(row.seq - 1) + " is missing)";
            } else if (missing > 1) {
                why += " (" + Seq(rows[i - 1].seq + 1) + " to " + std::to_string(row.seq - 1) +
                       " are missing)";
            }
            return ChainBreak{i, why};
        }
        if (row.hash != computed[i]) {
            return ChainBreak{i, "its hash is not the SHA-256 of its text"};
        }
        if (row.prev_hash != (i == 0 ? GENESIS : rows[i - 1].hash)) {
            return ChainBreak{i, i == 0
                                     ? "its prev_hash is not the genesis hash"
                                     : "its prev_hash is not the hash of " + Seq(rows[i - 1].seq)};
        }
    }
    return std::nullopt;
}

std::optional<ChainBreak> ServerChainBreak(const std::vector<AuditRow>& server,
                                           const std::vector<std::string>& computed,
                                           const std::optional<ChainHead>& head) {
    if (const std::optional<ChainBreak> broken = FirstBreak(server, computed)) {
        return ChainBreak{broken->index, "the server's " + Seq(server[broken->index].seq) +
                                             " does not hold: " + broken->why};
    }
    const std::size_t last = server.empty() ? 0 : server.size() - 1;
    const long long server_end = server.empty() ? 0 : server.back().seq;
    if (!head && !server.empty()) {
        return ChainBreak{last, "the server holds rows up to " + Seq(server_end) + " but no head"};
    }
    if (head && (server.empty() || head->seq != server_end)) {
        return ChainBreak{last, "the server's head is " + Seq(head->seq) + " but its rows end at " +
                                    Seq(server_end)};
    }
    if (head && head->hash != server.back().hash) {
        return ChainBreak{last, "the server's head is not the hash of its " + Seq(head->seq)};
    }
    return std::nullopt;
}

std::optional<std::string> ServerCopyBreak(const std::vector<AuditRow>& file,
                                           const std::vector<AuditRow>& server,
                                           const std::vector<std::string>& computed,
                                           const std::optional<ChainHead>& head,
                                           const std::set<long long>& queued) {
    if (const std::optional<ChainBreak> broken = ServerChainBreak(server, computed, head)) {
        return broken->why;
    }
    const long long server_end = server.empty() ? 0 : server.back().seq;
    // The file's chain holds, so its seqs follow one another from its first.
    const long long file_first = file.empty() ? 1 : file.front().seq;
    const long long file_end = file.empty() ? 0 : file.back().seq;
    if (head && head->seq > file_end) {
        return "the file ends at " + Seq(file_end) + " but the server's head is " + Seq(head->seq) +
               ": the file's newest rows were taken away";
    }
    const auto in_file = [&](long long seq) -> const AuditRow* {
        return seq >= file_first && seq <= file_end
                   ? &file[static_cast<std::size_t>(seq - file_first)]
                   : nullptr;
    };
    for (const AuditRow& row : server) {
        const AuditRow* own = in_file(row.seq);
        if (own == nullptr || own->hash != row.hash) {
            return "the server's " + Seq(row.seq) + " is not the file's";
        }
    }
    const long long server_first = server.empty() ? 0 : server.front().seq;
    for (const AuditRow& row : file) {
        const bool on_server = row.seq >= server_first && row.seq <= server_end;
        if (!on_server && queued.count(row.seq) == 0) {
            return "the file's " + Seq(row.seq) +
                   " was acknowledged by the server, which does not hold it";
        }
    }
    return std::nullopt;
}

}  // namespace trail
