#include "sim/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>
#include <vector>

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

bool ParseDecimal(const std::string& text, double low, double high, double* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(parsed) || parsed < low || parsed > high) {
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
           "  --population SEED     each start tests a new unit of a population of good units,\n"
           "                        recorded with trigger jitter and noise of +-2 counts\n"
           "  --faster PCT          the population's faulty units ring PCT percent faster\n"
           "  --more-damped PCT     their damping PCT percent higher\n"
           "  --drift PCT           their ringing PCT percent faster for each faulty unit so far\n"
           "  --arcing              bursts of spikes on their ringing\n"
           "  --faults-from K       the faults (and --shorted-turns) from unit K on (default 1)\n"
           "  --faults-every N      on every Nth unit from K (default 1: all of them)\n"
           "  --fault-file PATH     at each start, the fault options PATH's first line holds,\n"
           "                        when it holds only those\n"
           "CMD is one of ME, ST, WT, WS, RE.\n";
}

namespace {

// A command-line option: its name, whether a value follows, what the value must be, and how it
// sets the options (false when the value cannot be taken).
struct Option {
    const char* name;
    bool takes_value;
    const char* needs;
    bool (*apply)(const std::string& value, SimOptions* options);
};

// A whole number from `low` to `high` into one field of the options.
template <typename T, T SimOptions::*field, long low, long high>
bool SetNumber(const std::string& value, SimOptions* options) {
    long number = 0;
    if (!ParseInt(value, low, high, &number)) {
        return false;
    }
    options->*field = static_cast<T>(number);
    return true;
}

bool Command(const std::string& value, std::string* command) {
    int count = 0;
    return ParseCommandCount(value + ":0", command, &count);
}

// CMD:N into one count of CMD's reply fault.
template <int ReplyFault::*field>
bool FaultCount(const std::string& value, SimOptions* options) {
    std::string command;
    int count = 0;
    if (!ParseCommandCount(value, &command, &count)) {
        return false;
    }
    options->faults[command].*field = count;
    return true;
}

// A percentage from 0 to `high` into one of the units' faults.
template <double UnitFaults::*field, int high>
bool SetPercent(const std::string& value, SimOptions* options) {
    return ParseDecimal(value, 0.0, high, &(options->unit_faults.*field));
}

// A count of units from 1 on into one of the units' faults.
template <int UnitFaults::*field>
bool SetUnits(const std::string& value, SimOptions* options) {
    long number = 0;
    if (!ParseInt(value, 1, 1000000, &number)) {
        return false;
    }
    options->unit_faults.*field = static_cast<int>(number);
    return true;
}

constexpr const char* COMMAND = "needs one of ME, ST, WT, WS, RE";
constexpr const char* COMMAND_COUNT = "needs CMD:N, CMD one of ME, ST, WT, WS, RE";

const Option OPTIONS[] = {
    {"--pace", false, "", [](const std::string&, SimOptions* o) { return o->pace = true; }},
    {"--setup", true, "needs exactly ten characters",
     [](const std::string& v, SimOptions* o) {
         o->setup = v;
         return v.size() == 10;
     }},
    {"--result", true, "needs exactly six characters",
     [](const std::string& v, SimOptions* o) {
         o->result = v;
         return v.size() == 6;
     }},
    {"--result-file", true, "needs a file's path",
     [](const std::string& v, SimOptions* o) {
         o->result_file = v;
         return !v.empty();
     }},
    {"--shorted-turns", true, "needs a percentage from 0 to 90",
     SetNumber<int, &SimOptions::shorted_turns_percent, 0, 90>},
    {"--seed", true, "needs a non-negative number",
     SetNumber<unsigned, &SimOptions::seed, 0, 0xffffffffL>},
    {"--noise", true, "needs a number from 0 to 60", SetNumber<int, &SimOptions::noise, 0, 60>},
    {"--baud", true, "needs a rate from 50 to 4000000",
     SetNumber<long, &SimOptions::baud_rate, 50, 4000000>},
    {"--hangup-after", true, "needs a number of commands",
     SetNumber<int, &SimOptions::hangup_after, 0, 1000000>},
    {"--no-reply", true, COMMAND,
     [](const std::string& v, SimOptions* o) {
         std::string command;
         return Command(v, &command) && (o->faults[command].no_reply = true);
     }},
    {"--hangup-after-reply", true, COMMAND,
     [](const std::string& v, SimOptions* o) {
         std::string command;
         return Command(v, &command) && (o->faults[command].hangup_after_reply = true);
     }},
    {"--short-reply", true, COMMAND_COUNT, FaultCount<&ReplyFault::short_length>},
    {"--extra-bytes", true, COMMAND_COUNT, FaultCount<&ReplyFault::extra_bytes>},
    {"--garbage", true, COMMAND_COUNT, FaultCount<&ReplyFault::garbage_bytes>},
    {"--population", true, "needs a non-negative seed",
     [](const std::string& v, SimOptions* o) {
         long seed = 0;
         return ParseInt(v, 0, 0xffffffffL, &seed) &&
                (o->population = static_cast<unsigned>(seed)).has_value();
     }},
    {"--faster", true, "needs a percentage from 0 to 50", SetPercent<&UnitFaults::faster, 50>},
    {"--more-damped", true, "needs a percentage from 0 to 200",
     SetPercent<&UnitFaults::more_damped, 200>},
    {"--drift", true, "needs a percentage per unit from 0 to 10",
     SetPercent<&UnitFaults::drift, 10>},
    {"--arcing", false, "",
     [](const std::string&, SimOptions* o) { return o->unit_faults.arcing = true; }},
    {"--faults-from", true, "needs a unit from 1 on", SetUnits<&UnitFaults::from>},
    {"--faults-every", true, "needs a number of units from 1 on", SetUnits<&UnitFaults::every>},
    {"--fault-file", true, "needs a file's path",
     [](const std::string& v, SimOptions* o) {
         o->fault_file = v;
         return !v.empty();
     }},
};

// The options a fault file may hold.
const std::set<std::string> UNIT_FAULT_OPTIONS = {
    "--faster",      "--more-damped",  "--drift",        "--arcing",
    "--faults-from", "--faults-every", "--shorted-turns"};

}  // namespace

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
        const Option* option = nullptr;
        for (const Option& known : OPTIONS) {
            option = name == known.name ? &known : option;
        }
        if (option == nullptr) {
            *error = name + ": unknown option";
            return false;
        }
        if (option->takes_value && !has_value && i + 1 < argc) {
            value = argv[++i];
            has_value = true;
        }
        if ((option->takes_value && !has_value) || !option->apply(value, options)) {
            *error = name + ": " + option->needs;
            return false;
        }
    }
    if (!options->population &&
        (options->unit_faults != UnitFaults{} || !options->fault_file.empty())) {
        *error = "the units' faults need --population";
        return false;
    }
    return true;
}

std::optional<SimOptions> ParseFaultLine(const std::string& line) {
    std::istringstream words(line);
    std::vector<std::string> arguments = {"surge-sim"};
    for (std::string word; words >> word;) {
        if (word.starts_with("--") && !UNIT_FAULT_OPTIONS.count(word.substr(0, word.find('=')))) {
            return std::nullopt;
        }
        arguments.push_back(word);
    }
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    SimOptions options;
    options.population = 0;
    std::string error;
    if (!ParseOptions(static_cast<int>(argv.size()), argv.data(), &options, &error)) {
        return std::nullopt;
    }
    return options;
}
