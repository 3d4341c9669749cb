// kq7150-tool: the stored files of the Movara 7150 Soft Front Panel from the command line, for
// scripts: their header, the measurement table and spectra of their blocks, and their CSV form.
#include "ConvertCommand.h"
#include "InfoCommand.h"
#include "MeasureCommand.h"
#include "SpectrumCommand.h"
#include "StoredFile.h"
#include "ToolArguments.h"

#include <cstdio>

int main(int argc, char **argv) {
    ToolArguments args;
    if (std::string error; !args.parse(argc, argv, error)) {
        toolFailure(toolExitBadArguments, error);
        std::fputs("Try 'kq7150-tool --help'.\n", stderr);
        return toolExitBadArguments;
    }
    if (args.command == ToolArguments::Command::help) {
        std::fputs(ToolArguments::usage(), stdout);
        return toolExitOk;
    }
    StoredFile file;
    if (!file.open(args.file))
        return toolFailure(toolExitUnreadable, file.problem());
    switch (args.command) {
    case ToolArguments::Command::info:
        return InfoCommand::run(file);
    case ToolArguments::Command::measure:
        return MeasureCommand::run(file, args);
    case ToolArguments::Command::spectrum:
        return SpectrumCommand::run(file, args);
    case ToolArguments::Command::convert:
        return ConvertCommand::run(file, args);
    case ToolArguments::Command::help:
        break;
    }
    return toolExitOk;
}
