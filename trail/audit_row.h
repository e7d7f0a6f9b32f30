// One row of the audit trail and its canonical text: the bytes its hash is taken of. Each row's
// hash covers the hash of the row before it, so a row edited, inserted or taken away breaks the
// chain from there on. Plain C++, so that any verifier (the station, a tool, a script against the
// plant's server) builds the same bytes.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace trail {

struct AuditRow {
    long long seq = 0;    // 1, 2, 3 ... in the station's file
    std::string at;       // ISO 8601 with milliseconds and the offset
    std::string station;  // SURGE_STATION or the host name
    std::string user;     // the user logged in, "-" without access control
    std::string role;     // operator, engineer, administrator; "-" without access control
    std::string action;   // one of the AUDIT_* actions
    // What the station reads back to decide, as a code (a line stop's kind, a gate's); empty
    // where nothing reads the row back, and in the rows written before codes were kept.
    std::string code;
    std::string object;     // what was acted on: a master's name, a user, a settings key, a file
    std::string before;     // the value before (for a master: its line and its version)
    std::string after;      // the value after
    std::string reason;     // the reason given, where one is asked
    std::string prev_hash;  // the hash of the row before, GENESIS for the first
    std::string hash;       // SHA-256 of CanonicalText, in lower-case hex
    // The station's version and commit that wrote the row; empty in the rows written before it
    // was kept, whose text is of the first kind.
    std::string software_version;
};

// The hash before the first row.
inline const std::string GENESIS(64, '0');

// "surge-audit 3", then one line per field, each "name=value" with backslashes and line ends in
// the value written as \\ and \n: seq, at, station, version, user, role, action, code, object,
// before, after, reason, prev. A row without a code has the text of the rows written before codes
// were kept: "surge-audit 2" and the same lines less the code's; one without a software version
// too, that of the first rows: "surge-audit 1", less the version's as well.
std::string CanonicalText(const AuditRow& row);
// The same text as a PostgreSQL expression over the columns of a table `audit` (the server's
// check of a row as it arrives), for the row named `row` ("NEW", or a table's alias).
std::string CanonicalTextSql(const std::string& row);

// The actions the trail records.
inline constexpr const char* AUDIT_LOGIN = "login";
inline constexpr const char* AUDIT_FAILED_LOGIN = "failed login";
inline constexpr const char* AUDIT_LOGOUT = "logout";
inline constexpr const char* AUDIT_LOCK = "lock";
inline constexpr const char* AUDIT_MASTER_SAVED = "master saved";
inline constexpr const char* AUDIT_MASTER_OVERWRITTEN = "master overwritten";
inline constexpr const char* AUDIT_MASTER_DELETED = "master deleted";
inline constexpr const char* AUDIT_PROGRAM_CHOSEN = "program chosen";
inline constexpr const char* AUDIT_USER_ADDED = "user added";
inline constexpr const char* AUDIT_USER_DISABLED = "user disabled";
inline constexpr const char* AUDIT_USER_REROLED = "user re-roled";
inline constexpr const char* AUDIT_PASSWORD_SET = "password set";
inline constexpr const char* AUDIT_GATE_OVERRIDDEN = "gate overridden";
inline constexpr const char* AUDIT_LINE_STOPPED = "line stopped";
inline constexpr const char* AUDIT_LINE_STOP_ACKNOWLEDGED = "line stop acknowledged";
inline constexpr const char* AUDIT_SETTINGS_CHANGED = "settings changed";
inline constexpr const char* AUDIT_FILE_SET_ASIDE = "file set aside";
// A master version's wave reference learned from its first good units.
inline constexpr const char* AUDIT_WAVE_LEARNED = "wave reference learned";
// The station found the newest rows it had written taken off the file while it ran.
inline constexpr const char* AUDIT_TRAIL_CUT = "trail cut";

// The codes of the rows the gates read back: a line stop's kind (on "line stopped" and
// "line stop acknowledged") and the gate an override let go.
inline constexpr const char* CODE_STOP_NG = "ng";
inline constexpr const char* CODE_STOP_REFERENCE = "reference";
inline constexpr const char* CODE_STOP_DRIFT = "drift";
// A unit the tester passed and the station's judgement of its wave flagged, held.
inline constexpr const char* CODE_STOP_WAVE = "wave";
inline constexpr const char* CODE_RETEST = "retest";

// Where a chain of rows in seq order first fails to hold, given each row's hash as computed
// anew (`computed[i]` for `rows[i]`): the index of the first row whose stored hash is not its
// computed one, whose prev_hash is not the hash of the row before (GENESIS for the first), or
// whose seq does not follow the one before; -1 when the whole chain holds.
long long FirstBrokenRow(const std::vector<AuditRow>& rows,
                         const std::vector<std::string>& computed);

// The same, with why: the index of the first row that does not hold and the reason, e.g. "its hash
// is not the SHA-256 of its text"; nothing when the whole chain holds.
struct ChainBreak {
    std::size_t index = 0;
    std::string why;
};
std::optional<ChainBreak> FirstBreak(const std::vector<AuditRow>& rows,
                                     const std::vector<std::string>& computed);

// The newest row of a station's chain that a plant's server holds.
struct ChainHead {
    long long seq = 0;
    std::string hash;
};

// Where a server's copy of a station's chain fails to hold on its own: `server` (its rows in seq
// order, `computed` their hashes as computed anew) must hold as a chain from its first row and end
// at `head`. The break's index is the row to blame (the last for a head that is not the rows' end,
// 0 for a head without rows); its `why` says what does not hold, naming the row. Nothing when it
// holds.
std::optional<ChainBreak> ServerChainBreak(const std::vector<AuditRow>& server,
                                           const std::vector<std::string>& computed,
                                           const std::optional<ChainHead>& head);

// Where a server's copy of a station's chain fails to hold against the station's file, whose own
// chain holds: `server` must hold on its own (ServerChainBreak), its `head` within the file, agree
// with the file row for row, and hold every row of the file that is not `queued` (rows no server
// has acknowledged). Nothing when it holds, else what does not.
std::optional<std::string> ServerCopyBreak(const std::vector<AuditRow>& file,
                                           const std::vector<AuditRow>& server,
                                           const std::vector<std::string>& computed,
                                           const std::optional<ChainHead>& head,
                                           const std::set<long long>& queued);

}  // namespace trail
