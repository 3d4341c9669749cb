#include "ToolArguments.h"

#include "StrictNumber.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

namespace {

using Command = ToolArguments::Command;

struct CommandName {
    const char *name;
    Command command;
    int files; // positional arguments
};
const CommandName commands[] = {
    {"info", Command::info, 1},
    {"measure", Command::measure, 1},
    {"spectrum", Command::spectrum, 1},
    {"convert", Command::convert, 2},
};

bool parseWhole(const std::string &text, long long min, long long max, long long &out) {
    const auto value = StrictNumber::whole(text, {min, max});
    if (value)
        out = *value;
    return bool(value);
}

// One option: its name, whether it takes a value, and which commands know it.
struct Option {
    const char *name;
    bool takesValue;
    std::vector<Command> commands;
};
const Option options[] = {
    {"--block", true, {Command::measure, Command::spectrum}},
    {"--all", false, {Command::measure}},
    {"--zero-padding", true, {Command::measure, Command::spectrum}},
    {"--fit", true, {Command::measure}},
    {"--window", true, {Command::spectrum}},
    {"--millivolts", false, {Command::convert}},
};

// Stores the value of one option; false with the message in error when it is out of range.
bool take(ToolArguments &a, const std::string &name, const std::string &value, std::string &error) {
    long long n = 0;
    const std::string given = name + " " + value;
    if (name == "--block") {
        if (!parseWhole(value, 1, INT64_MAX, n)) {
            error = given + ": blocks are counted from 1, as on the window's block slider";
            return false;
        }
        a.block = uint64_t(n);
    } else if (name == "--zero-padding") {
        if (!parseWhole(value, 1, 100, n) ||
            !(n == 1 || n == 2 || n == 5 || n == 10 || n == 20 || n == 50 || n == 100)) {
            error =
                given + ": the zero padding is one of the window's choices, 1 (off), 2, 5, 10, 20, 50 or 100";
            return false;
        }
        a.zeroPadding = int(n);
    } else if (name == "--fit") {
        if (!parseWhole(value, 0, 7, n)) {
            error = given + ": the sine fit is 0 (3 parameters) or 1..7 (4 parameters, that many iterations)";
            return false;
        }
        a.fitIterations = int(n);
    } else if (name == "--window") {
        // By number, as the window's choice counts them, or by name.
        static const char *const names[] = {
            "rectangular", "hann", "hamming", "blackman", "blackman-harris-4", "blackman-harris-7"};
        const auto named = std::find(std::begin(names), std::end(names), value);
        if (named != std::end(names)) {
            n = named - std::begin(names);
        } else if (!parseWhole(value, 0, 5, n)) {
            error = given + ": the window is 0 rectangular, 1 hann, 2 hamming, 3 blackman, "
                            "4 blackman-harris-4 (4-Term Blackman-Harris) or 5 blackman-harris-7 (7-Term)";
            return false;
        }
        a.window = int(n);
    } else if (name == "--all") {
        a.all = true;
    } else if (name == "--millivolts") {
        a.millivolts = true;
    }
    return true;
}

} // namespace

int toolFailure(ToolExit status, const std::string &message) {
    std::fprintf(stderr, "kq7150-tool: %s\n", message.c_str());
    return status;
}

const char *ToolArguments::usage() {
    return "Usage: kq7150-tool COMMAND FILE [options]\n"
           "Reads files stored by the Movara 7150 Soft Front Panel (.bin7150, .flac7150).\n"
           "\n"
           "Commands:\n"
           "  info FILE                      the header as text, and whether the payload is whole\n"
           "                                 (of a FLAC recording: its volts per count, its streams\n"
           "                                 and the whole blocks they hold)\n"
           "  measure FILE [--block K | --all] [--zero-padding Z] [--fit F]\n"
           "                                 the \"Measurements\" table of every card and block as CSV\n"
           "                                 (every block unless --block K is given)\n"
           "  spectrum FILE --block K [--window W] [--zero-padding Z]\n"
           "                                 the display spectrum of each channel as CSV (Hz, dB)\n"
           "  convert FILE OUT.csv [--millivolts]\n"
           "                                 the file as the program's own CSV (volts, or millivolts);\n"
           "                                 OUT.csv '-' is standard output\n"
           "\n"
           "Options:\n"
           "  --block K         block K, counted from 1 as on the window's block slider\n"
           "  --all             every block, spread over the processor's cores\n"
           "  --zero-padding Z  FFT zero padding: 1 (off, default), 2, 5, 10, 20, 50 or 100\n"
           "  --fit F           sine fit: 0 three parameters (default), 1..7 four parameters, F iterations\n"
           "  --window W        FFT window, by number or name: 0 rectangular (default), 1 hann,\n"
           "                    2 hamming, 3 blackman, 4 blackman-harris-4, 5 blackman-harris-7\n"
           "  --millivolts      convert to millivolts with 3 decimals instead of volts with 6\n"
           "  -h, --help        this text\n"
           "\n"
           "Exit status: 0 success, 1 the file or a block cannot be read or measured, or the output\n"
           "written (message on standard error), 2 bad arguments, a block number past the file's last\n"
           "whole block included.\n";
}

bool ToolArguments::parse(int argc, const char *const *argv, std::string &error) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string &arg : args) {
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "--help") {
            command = Command::help;
            return true;
        }
    }
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    const CommandName *chosen = nullptr;
    for (const CommandName &c : commands)
        if (args[0] == c.name)
            chosen = &c;
    if (!chosen) {
        error = "unknown command '" + args[0] + "'";
        return false;
    }
    command = chosen->command;

    std::vector<std::string> files;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const Option *option = nullptr;
        for (const Option &o : options)
            if (name == o.name)
                option = &o;
        bool known = false;
        for (Command c : option ? option->commands : std::vector<Command>{})
            known = known || c == command;
        if (!known) {
            error = std::string(chosen->name) + " has no option '" + name + "'";
            return false;
        }
        std::string value;
        if (option->takesValue) {
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = name + " needs a value";
                return false;
            }
        } else if (equals != std::string::npos) {
            error = name + " takes no value";
            return false;
        }
        if (!take(*this, name, value, error))
            return false;
    }

    if (int(files.size()) != chosen->files) {
        const char *what = chosen->files == 2 ? "FILE and OUT.csv" : "FILE";
        error = std::string(chosen->name) + " needs " + what +
                (files.size() < std::size_t(chosen->files) ? "" : ", not '" + files.back() + "'");
        return false;
    }
    file = files[0];
    if (files.size() > 1)
        output = files[1];
    if (all && block != 0) {
        error = "measure takes --block K or --all, not both";
        return false;
    }
    if (command == Command::spectrum && block == 0) {
        error = "spectrum needs --block K";
        return false;
    }
    if (command == Command::measure && block == 0)
        all = true;
    return true;
}
