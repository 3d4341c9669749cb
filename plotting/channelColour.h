// The one colour rule for channel curves and legend entries, shared by the voltage plot and
// the spectrum plot so that a channel looks the same in both.
#pragma once

#include <QColor>

// card and channel are 0-based. Eight hues spread over a ninth-step wheel and shifted by one
// step per card, so that neighbouring cards do not repeat each other's colours; two of every
// three cards are lightened to tell them apart from the card before. Slightly transparent so
// that overlapping curves stay visible.
QColor channelColour(int card, int channel);
