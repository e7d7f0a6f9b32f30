#include "access/station_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>

namespace access_control {

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

// Each key: how it is written, and how it is read (false for a value it cannot take).
struct Key {
    const char* name;
    const char* takes;  // for the operator: what the value may be
    std::function<std::string(const StationSettings&)> write;
    std::function<bool(const std::string&, StationSettings*)> read;
};

const std::vector<Key>& Keys() {
    static const std::vector<Key> keys = {
        {"access/enabled", "true 또는 false",
         [](const StationSettings& s) { return std::string(s.access.enabled ? "true" : "false"); },
         [](const std::string& v, StationSettings* s) { return ReadFlag(v, &s->access.enabled); }},
        {"access/idle_minutes", "1 에서 1440 사이의 분",
         [](const StationSettings& s) { return std::to_string(s.access.idle_minutes); },
         [](const std::string& v, StationSettings* s) {
             return ReadNumber(v, 1, 1440, &s->access.idle_minutes);
         }},
    };
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
    *settings = read;
    return true;
}

}  // namespace access_control
