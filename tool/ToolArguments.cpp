#include "ToolArguments.h"

#include "StrictNumber.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

namespace {

using Command = ToolArguments::Command;

// A value check that also turns the value into plain decimal text, which CLI11 then converts:
// it would read "010" as octal. read gives the number, or nothing to refuse the value with why.
using Reader = std::function<std::optional<long long>(const std::string &)>;
CLI::Validator checked(const std::string &name, const std::string &why, Reader read) {
    return CLI::Validator(
        [=](std::string &value) {
            const std::optional<long long> n = read(value);
            if (!n)
                return name + " " + value + ": " + why;
            value = std::to_string(*n);
            return std::string();
        },
        "");
}

Reader wholeIn(long long min, long long max) {
    return [=](const std::string &value) { return StrictNumber::whole(value, {min, max}); };
}

// One of the window's choices.
std::optional<long long> zeroPadding(const std::string &value) {
    static const long long choices[] = {1, 2, 5, 10, 20, 50, 100};
    const auto n = StrictNumber::whole(value, {1, 100});
    return n && std::count(std::begin(choices), std::end(choices), *n) ? n : std::nullopt;
}

// By number, as the window's choice counts them, or by name.
std::optional<long long> fftWindow(const std::string &value) {
    static const char *const names[] = {
        "rectangular", "hann", "hamming", "blackman", "blackman-harris-4", "blackman-harris-7"};
    const auto named = std::find(std::begin(names), std::end(names), value);
    if (named != std::end(names))
        return named - std::begin(names);
    return StrictNumber::whole(value, {0, 5});
}

const std::pair<const char *, Command> commands[] = {{"info", Command::info},
                                                     {"measure", Command::measure},
                                                     {"spectrum", Command::spectrum},
                                                     {"convert", Command::convert}};

// Checked as it is read, so that of several wrong values the first is named.
template <class T>
void addValue(CLI::App &command, const std::string &name, T &value, const std::string &why, Reader read) {
    command.add_option(name, value)->transform(checked(name, why, std::move(read)))->trigger_on_parse();
}

// The commands, their files and their options, read into a.
void declare(CLI::App &app, ToolArguments &a) {
    app.set_help_flag(); // asked for anywhere, help wins over every fault: see asksForHelp
    for (const auto &[name, command] : commands)
        app.add_subcommand(name)->add_option("FILE", a.file);
    CLI::App &measure = *app.get_subcommand("measure");
    CLI::App &spectrum = *app.get_subcommand("spectrum");
    CLI::App &convert = *app.get_subcommand("convert");
    convert.add_option("OUT.csv", a.output);
    for (CLI::App *command : {&measure, &spectrum}) {
        addValue(*command, "--block", a.block, "blocks are counted from 1, as on the window's block slider",
                 wholeIn(1, INT64_MAX));
        addValue(*command, "--zero-padding", a.zeroPadding,
                 "the zero padding is one of the window's choices, 1 (off), 2, 5, 10, 20, 50 or 100",
                 zeroPadding);
    }
    addValue(measure, "--fit", a.fitIterations,
             "the sine fit is 0 (3 parameters) or 1..7 (4 parameters, that many iterations)", wholeIn(0, 7));
    addValue(spectrum, "--window", a.window,
             "the window is 0 rectangular, 1 hann, 2 hamming, 3 blackman, 4 blackman-harris-4 "
             "(4-Term Blackman-Harris) or 5 blackman-harris-7 (7-Term)",
             fftWindow);
    measure.add_flag("--all", a.all);
    convert.add_flag("--millivolts", a.millivolts);
}

bool asksForHelp(const std::vector<std::string> &args) {
    for (const std::string &arg : args) {
        if (arg == "--")
            return false;
        if (arg == "-h" || arg == "--help")
            return true;
    }
    return false;
}

// The arguments after the command, split as this tool has always read them: up to "--", an
// argument starting with '-' is an option, and a value option takes the next argument whatever
// it is. CLI11 reads some otherwise: it takes "-5" or "---x" for a file and "++" for the end of
// the command, passes over an empty value after '=' and sets a flag from "--all=true". So CLI11
// is handed the options as name and value, then "--", then the files, which it cannot misread.
struct SplitLine {
    std::vector<std::string> options;
    std::vector<std::string> files;
    std::string fault; // the first misshapen option; the split stops there
};

SplitLine split(const CLI::App &command, const std::vector<std::string> &args) {
    SplitLine line;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size() && line.fault.empty(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            line.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const CLI::Option *option = command.get_option_no_throw(name);
        const bool flag = option && option->get_items_expected_max() == 0;
        if (!option)
            line.fault = command.get_name() + " has no option '" + name + "'";
        else if (flag && equals != std::string::npos)
            line.fault = name + " takes no value";
        else if (flag)
            line.options.push_back(name);
        else if (equals == std::string::npos && i + 1 == args.size())
            line.fault = name + " needs a value";
        else
            line.options.insert(line.options.end(),
                                {name, equals == std::string::npos ? args[++i] : arg.substr(equals + 1)});
    }
    return line;
}

// "FILE" or "FILE and OUT.csv": the files the command declares.
std::vector<std::string> fileNames(const CLI::App &command) {
    std::vector<std::string> names;
    for (const CLI::Option *option :
         command.get_options([](const CLI::Option *o) { return o->get_positional(); }))
        names.push_back(option->get_name(true));
    return names;
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
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (asksForHelp(args)) {
        command = Command::help;
        return true;
    }
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    CLI::App app("", "kq7150-tool");
    declare(app, *this);
    const auto chosen = std::find_if(std::begin(commands), std::end(commands),
                                     [&](const auto &c) { return args[0] == c.first; });
    if (chosen == std::end(commands)) {
        error = "unknown command '" + args[0] + "'";
        return false;
    }
    const CLI::App &sub = *app.get_subcommand(args[0]);

    const SplitLine line = split(sub, args);
    const std::vector<std::string> files = fileNames(sub);
    const bool filesFit = line.fault.empty() && line.files.size() == files.size();
    std::vector<std::string> given{args[0]};
    given.insert(given.end(), line.options.begin(), line.options.end());
    if (filesFit) {
        given.push_back("--");
        given.insert(given.end(), line.files.begin(), line.files.end());
    }
    std::reverse(given.begin(), given.end()); // CLI11 takes the arguments last first
    try {
        app.parse(given);
    } catch (const CLI::ValidationError &e) {
        // CLI11 puts the option's name first; the check's own text names it with its value.
        const std::string what = e.what();
        error = what.substr(what.find(": ") + 2);
        return false;
    } catch (const CLI::ParseError &e) {
        error = e.what();
        return false;
    }
    if (!line.fault.empty()) {
        error = line.fault;
        return false;
    }
    if (!filesFit) {
        error = args[0] + " needs " + files[0];
        for (std::size_t k = 1; k < files.size(); ++k)
            error += " and " + files[k];
        if (line.files.size() > files.size())
            error += ", not '" + line.files.back() + "'";
        return false;
    }

    command = chosen->second;
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
