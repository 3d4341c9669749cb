// The command line of kq7150-tool: a subcommand, its file and its options, checked before any
// file is opened so that a script learns of a typing error without side effects.
#pragma once

#include <cstdint>
#include <string>

// The tool's exit statuses.
enum ToolExit { toolExitOk = 0, toolExitUnreadable = 1, toolExitBadArguments = 2 };

// Writes "kq7150-tool: message" on standard error and returns status.
int toolFailure(ToolExit status, const std::string &message);

struct ToolArguments {
    enum class Command { help, info, measure, spectrum, convert };

    Command command = Command::help;
    std::string file;
    std::string output;    // convert: the CSV file to write
    uint64_t block = 0;    // from 1, as the window's block slider counts; 0 when not given
    bool all = false;      // measure: every block (also when no block is given)
    int zeroPadding = 1;   // one of the window's choices: 1, 2, 5, 10, 20, 50, 100
    int fitIterations = 0; // 0..7
    int window = 0;        // fftWindowType, 0..5
    bool millivolts = false;

    // Parses argv[1 ..]. false with the message in error on a bad command line.
    bool parse(int argc, const char *const *argv, std::string &error);

    static const char *usage();
};
