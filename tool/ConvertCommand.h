// kq7150-tool convert FILE OUT.csv [--millivolts]: a stored binary file as the CSV file a
// continuous acquisition writes for the same blocks, written by the same code, to wherever
// OUT.csv leads (OutputFile).
#pragma once

class StoredFile;
struct ToolArguments;

class ConvertCommand {
public:
    static int run(const StoredFile &file, const ToolArguments &args);
};
