#include "settings/station_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <functional>

namespace settings {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool ReadFlag(const std::string& text, bool* flag) {
    const std::string word = Lower(text);
    if (word == "true" || word == "yes" || word == "on" || word == "1") {
        *flag = true;
        return true;
    }
    if (word == "false" || word == "no" || word == "off" || word == "0") {
        *flag = false;
        return true;
    }
    return false;
}

bool ReadNumber(const std::string& text, int low, int high, int* number) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return false;
    }
    *number = value;
    return true;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at = text.find(separator); at != std::string::npos;
         at = text.find(separator, from)) {
        parts.push_back(Trimmed(text.substr(from, at - from)));
        from = at + 1;
    }
    parts.push_back(Trimmed(text.substr(from)));
    return parts;
}

std::string Flag(bool flag) {
    return flag ? "true" : "false";
}

std::string ClockText(int minutes) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60 % 100, minutes % 60);
    return text;
}

// "06:00, 14:00, 22:00": at least one, each HH:MM, in the order of the day, none twice.
bool ReadShifts(const std::string& text, std::vector<int>* shifts) {
    std::vector<int> read;
    for (const std::string& part : Split(text, ',')) {
        int hours = 0;
        int minutes = 0;
        if (part.size() != 5 || part[2] != ':' || !ReadNumber(part.substr(0, 2), 0, 23, &hours) ||
            !ReadNumber(part.substr(3), 0, 59, &minutes) ||
            (!read.empty() && hours * 60 + minutes <= read.back())) {
            return false;
        }
        read.push_back(hours * 60 + minutes);
    }
    *shifts = read;
    return true;
}

std::string ShiftsText(const std::vector<int>& shifts) {
    std::string text;
    for (const int minutes : shifts) {
        text += (text.empty() ? "" : ", ") + ClockText(minutes);
    }
    return text;
}

// "M-01: R-1 O.K, R-2 N.G | M-02: R-3 O.K"; empty for none. A master once, a serial once. (A ';'
// would begin a comment in "station.ini".)
bool ReadReferences(const std::string& text, std::vector<MasterReferences>* units) {
    std::vector<MasterReferences> read;
    if (Trimmed(text).empty()) {
        *units = read;
        return true;
    }
    std::vector<std::string> serials;
    for (const std::string& entry : Split(text, '|')) {
        const std::size_t colon = entry.find(':');
        if (colon == std::string::npos) {
            return false;
        }
        MasterReferences master{Trimmed(entry.substr(0, colon)), {}};
        if (master.master.empty() || !ReferenceUnitsOf({true, read, {}}, master.master).empty()) {
            return false;
        }
        for (const std::string& unit : Split(entry.substr(colon + 1), ',')) {
            const std::size_t blank = unit.find_last_of(" \t");
            if (blank == std::string::npos) {
                return false;
            }
            const std::string serial = Trimmed(unit.substr(0, blank));
            const std::string verdict = unit.substr(blank + 1);
            const bool ok = verdict == Outcome_text(Outcome::OK);
            if (serial.empty() || (!ok && verdict != Outcome_text(Outcome::NG)) ||
                std::find(serials.begin(), serials.end(), serial) != serials.end()) {
                return false;
            }
            serials.push_back(serial);
            master.units.push_back({serial, ok ? Outcome::OK : Outcome::NG});
        }
        read.push_back(master);
    }
    *units = read;
    return true;
}

std::string ReferencesText(const std::vector<MasterReferences>& units) {
    std::string text;
    for (const MasterReferences& master : units) {
        text += (text.empty() ? "" : " | ") + master.master + ":";
        for (std::size_t i = 0; i < master.units.size(); ++i) {
            text += (i == 0 ? " " : ", ") + master.units[i].serial + " " +
                    Outcome_text(master.units[i].expected);
        }
    }
    return text;
}

// Each key: how it is written, and how it is read (false for a value it cannot take).
struct Key {
    const char* name;
    const char* takes;  // for the operator: what the value may be
    std::function<std::string(const StationSettings&)> write;
    std::function<bool(const std::string&, StationSettings*)> read;
};

// The keys of who may do what, how far back attempts count and the gates before a test.
std::vector<Key> AccessAndGateKeys() {
    return {
        {"access/enabled", "true 또는 false",
         [](const StationSettings& s) { return std::string(s.access.enabled ? "true" : "false"); },
         [](const std::string& v, StationSettings* s) { return ReadFlag(v, &s->access.enabled); }},
        {"access/idle_minutes", "1 에서 1440 사이의 분",
         [](const StationSettings& s) { return std::to_string(s.access.idle_minutes); },
         [](const std::string& v, StationSettings* s) {
             return ReadNumber(v, 1, 1440, &s->access.idle_minutes);
         }},
        {"units/window_days", "1 에서 3650 사이의 일",
         [](const StationSettings& s) { return std::to_string(s.units.window_days); },
         [](const std::string& v, StationSettings* s) {
             return ReadNumber(v, 1, 3650, &s->units.window_days);
         }},
        {"retest/enabled", "true 또는 false",
         [](const StationSettings& s) { return Flag(s.retest.enabled); },
         [](const std::string& v, StationSettings* s) { return ReadFlag(v, &s->retest.enabled); }},
        {"retest/max_attempts", "1 에서 99 사이의 횟수",
         [](const StationSettings& s) { return std::to_string(s.retest.max_attempts); },
         [](const std::string& v, StationSettings* s) {
             return ReadNumber(v, 1, 99, &s->retest.max_attempts);
         }},
        {"line_stop/enabled", "true 또는 false",
         [](const StationSettings& s) { return Flag(s.line_stop.enabled); },
         [](const std::string& v, StationSettings* s) {
             return ReadFlag(v, &s->line_stop.enabled);
         }},
        {"line_stop/in_a_row", "1 에서 99 사이의 수",
         [](const StationSettings& s) { return std::to_string(s.line_stop.in_a_row); },
         [](const std::string& v, StationSettings* s) {
             return ReadNumber(v, 1, 99, &s->line_stop.in_a_row);
         }},
        {"line_stop/ng_of_last", "1 에서 of_last 사이의 수",
         [](const StationSettings& s) { return std::to_string(s.line_stop.ng_of_last); },
         [](const std::string& v, StationSettings* s) {
             return ReadNumber(v, 1, 999, &s->line_stop.ng_of_last);
         }},
        {"line_stop/of_last", "1 에서 999 사이의 수",
         [](const StationSettings& s) { return std::to_string(s.line_stop.of_last); },
         [](const std::string& v, StationSettings* s) {
             return ReadNumber(v, 1, 999, &s->line_stop.of_last);
         }},
        {"reference/enabled", "true 또는 false",
         [](const StationSettings& s) { return Flag(s.reference.enabled); },
         [](const std::string& v, StationSettings* s) {
             return ReadFlag(v, &s->reference.enabled);
         }},
        {"reference/units", "마스터: 일련번호 O.K 또는 N.G, ... | 다음 마스터: ...",
         [](const StationSettings& s) { return ReferencesText(s.reference.units); },
         [](const std::string& v, StationSettings* s) {
             return ReadReferences(v, &s->reference.units);
         }},
        {"reference/shifts", "HH:MM, HH:MM, ... (하루의 순서대로)",
         [](const StationSettings& s) { return ShiftsText(s.reference.shifts); },
         [](const std::string& v, StationSettings* s) {
             return ReadShifts(v, &s->reference.shifts);
         }},
    };
}

// The keys of what watches the cycles after the fact, and of the history.
std::vector<Key> WatchAndHistoryKeys() {
    return {
        {"drift/line_stop", "true 또는 false",
         [](const StationSettings& s) { return Flag(s.drift.line_stop); },
         [](const std::string& v, StationSettings* s) { return ReadFlag(v, &s->drift.line_stop); }},
        {"drift/wave", "true 또는 false",
         [](const StationSettings& s) { return Flag(s.drift.wave); },
         [](const std::string& v, StationSettings* s) { return ReadFlag(v, &s->drift.wave); }},
        {"wave/learn_units", "10 에서 1000 사이의 대수",
         [](const StationSettings& s) { return std::to_string(s.wave.learn_units); },
         [](const std::string& v, StationSettings* s) {
             return ReadNumber(v, 10, 1000, &s->wave.learn_units);
         }},
        {"wave/hold", "true 또는 false", [](const StationSettings& s) { return Flag(s.wave.hold); },
         [](const std::string& v, StationSettings* s) { return ReadFlag(v, &s->wave.hold); }},
        {"history/reserve_mb", "0 에서 1024 사이의 MB",
         [](const StationSettings& s) { return std::to_string(s.history.reserve_mb); },
         [](const std::string& v, StationSettings* s) {
             return ReadNumber(v, 0, 1024, &s->history.reserve_mb);
         }},
        {"history/required", "true 또는 false",
         [](const StationSettings& s) { return Flag(s.history.required); },
         [](const std::string& v, StationSettings* s) {
             return ReadFlag(v, &s->history.required);
         }},
    };
}

// Every key, in the order "station.ini" and the audit rows give them.
const std::vector<Key>& Keys() {
    static const std::vector<Key> keys = [] {
        std::vector<Key> all = AccessAndGateKeys();
        const std::vector<Key> more = WatchAndHistoryKeys();
        all.insert(all.end(), more.begin(), more.end());
        return all;
    }();
    return keys;
}

}  // namespace

std::vector<Setting> SettingsAsKeys(const StationSettings& settings) {
    std::vector<Setting> written;
    for (const Key& key : Keys()) {
        written.push_back({key.name, key.write(settings)});
    }
    return written;
}

bool SettingsFromKeys(const std::vector<Setting>& keys, StationSettings* settings,
                      std::string* problem) {
    StationSettings read;
    for (const Setting& setting : keys) {
        const auto key = std::find_if(Keys().begin(), Keys().end(),
                                      [&](const Key& k) { return setting.key == k.name; });
        if (key == Keys().end()) {
            *problem = "알 수 없는 설정 " + setting.key;
            return false;
        }
        if (!key->read(setting.value, &read)) {
            *problem = setting.key + " = " + setting.value + " (" + key->takes + ")";
            return false;
        }
    }
    if (read.line_stop.ng_of_last > read.line_stop.of_last) {
        *problem = "line_stop/ng_of_last = " + std::to_string(read.line_stop.ng_of_last) +
                   " (line_stop/of_last " + std::to_string(read.line_stop.of_last) + " 이하)";
        return false;
    }
    *settings = read;
    return true;
}

std::string GatesInForce(const StationSettings& settings) {
    std::vector<std::string> parts;
    if (settings.retest.enabled) {
        parts.push_back("재검사 한도 " + std::to_string(settings.retest.max_attempts) + "회");
    }
    if (settings.line_stop.enabled) {
        const auto& stop = settings.line_stop;
        parts.push_back("라인 정지 N.G " + std::to_string(stop.in_a_row) + " 연속 또는 최근 " +
                        std::to_string(stop.of_last) + " 개 중 " + std::to_string(stop.ng_of_last));
    }
    if (settings.reference.enabled) {
        std::size_t units = 0;
        for (const MasterReferences& master : settings.reference.units) {
            units += master.units.size();
        }
        parts.push_back("기준품 " + std::to_string(units) + " 개, 교대 " +
                        ShiftsText(settings.reference.shifts));
    }
    if (settings.drift.line_stop) {
        parts.push_back("추세 경고 시 라인 정지");
    }
    if (settings.drift.wave) {
        parts.push_back("주파수·감쇠 추세 감시");
    }
    if (settings.wave.hold) {
        parts.push_back("파형 경고 시 보류");
    }
    if (settings.history.required) {
        parts.push_back("이력 기록 필수");
    }
    std::string text = parts.empty() ? "검사 조건 꺼짐" : parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) {
        text += " · " + parts[i];
    }
    return text + " · 재검사 기간 " + std::to_string(settings.units.window_days) + "일";
}

std::vector<ReferenceUnit> ReferenceUnitsOf(const ReferenceSettings& settings,
                                            const std::string& master) {
    for (const MasterReferences& references : settings.units) {
        if (references.master == master) {
            return references.units;
        }
    }
    return {};
}

}  // namespace settings
