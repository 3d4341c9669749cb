// kq7150-tool measure FILE [--block K | --all] [--zero-padding Z] [--fit F]: the figures of the
// window's "Measurements" table for every card with stored channels, block after block, as the
// lines of "Copy to Clipboard" preceded by the block and the card.
#pragma once

class StoredFile;
struct ToolArguments;

class MeasureCommand {
public:
    static int run(const StoredFile &file, const ToolArguments &args);
};
