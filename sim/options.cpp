#include "sim/options.h"

#include <cerrno>
#include <cstdlib>
#include <set>

namespace {

bool ParseInt(const std::string& text, long low, long high, long* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    *value = parsed;
    return true;
}

// "CMD:N" for a fault option, with CMD one of the five commands.
bool ParseCommandCount(const std::string& text, std::string* command, int* count) {
    static const std::set<std::string> COMMANDS = {"ME", "ST", "WT", "WS", "RE"};
    const auto colon = text.find(':');
    long value = 0;
    if (colon == std::string::npos || !COMMANDS.count(text.substr(0, colon)) ||
        !ParseInt(text.substr(colon + 1), 0, 100000, &value)) {
        return false;
    }
    *command = text.substr(0, colon);
    *count = static_cast<int>(value);
    return true;
}

}  // namespace

const char* UsageText() {
    return "usage: surge-sim [options]\n"
           "  --setup TEXT          ten-character reply to ME (default 0345051007)\n"
           "  --result TEXT         fixed six-character reply to RE instead of the computed one\n"
           "  --result-file PATH    at each RE, the six characters PATH holds, when it holds them\n"
           "  --shorted-turns PCT   shorted turns in the tested winding, percent, 0 to 90 (default "
           "0)\n"
           "  --seed N              seed of the sample noise (default 1)\n"
           "  --noise N             largest noise on a sample, in counts (default 1)\n"
           "  --pace                send at the line rate (10 bits a byte)\n"
           "  --baud N              line rate for --pace (default 115200)\n"
           "  --no-reply CMD        never answer CMD\n"
           "  --short-reply CMD:N   send only the first N bytes of CMD's reply\n"
           "  --extra-bytes CMD:N   send N bytes more after CMD's reply\n"
           "  --garbage CMD:N       send N garbage bytes before CMD's reply\n"
           "  --hangup-after N      answer N commands, then hang up when the next arrives\n"
           "  --hangup-after-reply CMD  hang up once the station has read CMD's reply\n"
           "CMD is one of ME, ST, WT, WS, RE.\n";
}

bool ParseOptions(int argc, const char* const* argv, SimOptions* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        bool has_value = false;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            has_value = true;
        }
        const auto take_value = [&]() {
            if (!has_value && i + 1 < argc) {
                value = argv[++i];
                has_value = true;
            }
            return has_value;
        };
        const auto fail = [&](const std::string& why) {
            *error = name + ": " + why;
            return false;
        };
        long number = 0;
        std::string command;
        int count = 0;
        if (name == "--pace") {
            options->pace = true;
        } else if (name == "--setup") {
            if (!take_value() || value.size() != 10) {
                return fail("needs exactly ten characters");
            }
            options->setup = value;
        } else if (name == "--result") {
            if (!take_value() || value.size() != 6) {
                return fail("needs exactly six characters");
            }
            options->result = value;
        } else if (name == "--result-file") {
            if (!take_value() || value.empty()) {
                return fail("needs a file's path");
            }
            options->result_file = value;
        } else if (name == "--shorted-turns") {
            if (!take_value() || !ParseInt(value, 0, 90, &number)) {
                return fail("needs a percentage from 0 to 90");
            }
            options->shorted_turns_percent = static_cast<int>(number);
        } else if (name == "--seed") {
            if (!take_value() || !ParseInt(value, 0, 0xffffffffL, &number)) {
                return fail("needs a non-negative number");
            }
            options->seed = static_cast<unsigned>(number);
        } else if (name == "--noise") {
            if (!take_value() || !ParseInt(value, 0, 60, &number)) {
                return fail("needs a number from 0 to 60");
            }
            options->noise = static_cast<int>(number);
        } else if (name == "--baud") {
            if (!take_value() || !ParseInt(value, 50, 4000000, &number)) {
                return fail("needs a rate from 50 to 4000000");
            }
            options->baud_rate = number;
        } else if (name == "--hangup-after") {
            if (!take_value() || !ParseInt(value, 0, 1000000, &number)) {
                return fail("needs a number of commands");
            }
            options->hangup_after = static_cast<int>(number);
        } else if (name == "--no-reply") {
            if (!take_value() || !ParseCommandCount(value + ":0", &command, &count)) {
                return fail("needs one of ME, ST, WT, WS, RE");
            }
            options->faults[command].no_reply = true;
        } else if (name == "--hangup-after-reply") {
            if (!take_value() || !ParseCommandCount(value + ":0", &command, &count)) {
                return fail("needs one of ME, ST, WT, WS, RE");
            }
            options->faults[command].hangup_after_reply = true;
        } else if (name == "--short-reply" || name == "--extra-bytes" || name == "--garbage") {
            if (!take_value() || !ParseCommandCount(value, &command, &count)) {
                return fail("needs CMD:N, CMD one of ME, ST, WT, WS, RE");
            }
            ReplyFault& fault = options->faults[command];
            (name == "--short-reply"   ? fault.short_length
             : name == "--extra-bytes" ? fault.extra_bytes
                                       : fault.garbage_bytes) = count;
        } else {
            return fail("unknown option");
        }
    }
    return true;
}
