// kq7150-tool spectrum FILE --block K [--window W] [--zero-padding Z]: the display spectrum of
// every stored channel of one block, as the window's "FFT Amplitude Spectrum" draws it, as CSV:
// the frequency, then the level of each channel.
#pragma once

class StoredFile;
struct ToolArguments;

class SpectrumCommand {
public:
    static int run(const StoredFile &file, const ToolArguments &args);
};
