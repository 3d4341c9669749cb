// The keys of a saved configuration and what each may hold. A file is taken only when every
// key is known and every value is of its kind; whether a well-formed value fits the cards at
// hand (a gain, a card position) is for the one applying it to decide.
//
//   [Acquisition]  WaveformLength, TriggerPosition, SamplingRate, Pipeline, ContinuousStorage,
//                  ZeroPadding, FftWindow, SineFitting, TriggerSource, TriggerEdge, TriggerLevel
//   [Storage]      FileName, Format, Timestamps, RefreshInterval
//   [View]         Symbols, SpectrumSymbols, CustomUnit, UnitName, UnitOffset, UnitMultiplier, SnapToSample
//   [Card1]..[Card64]  Serial, Variant, and per channel (Channel1. .. Channel8.) Source, Coupling,
//                  Gain, HighPass, AntiRinging, Enabled, Colour (waveform), SpectrumColour,
//                  SpectrumShown
//
// Choices are stored as the text the panel shows ("10 kHz", "Front Panel Diff").
#pragma once

#include "ConfigurationFile.h"

#include <string>

namespace ConfigurationKeys {

constexpr int kMaxCards = 64;
constexpr int kChannels = 8;

inline const char kAcquisition[] = "Acquisition";
inline const char kStorage[] = "Storage";
inline const char kView[] = "View";

// card 0-based: "Card1".
std::string cardSection(int card);
// The 0-based card of a "Card<n>" section, -1 for any other name.
int cardOfSection(const std::string &section);
// channel 0-based: "Channel1.Gain".
std::string channelKey(int channel, const std::string &field);

// False with "line 7: [Card1] Channel1.Enabled: expected true or false" for the first entry
// that is unknown or not of its kind.
bool check(const ConfigurationFile &file, std::string &error);

std::string fromBool(bool value);
// Exactly "true" or "false"; check() has refused anything else.
bool toBool(const std::string &text);
// The shortest text that reads back as the same double.
std::string fromNumber(double value);
double toNumber(const std::string &text);

} // namespace ConfigurationKeys
