#include "channelColour.h"

QColor channelColour(int card, int channel) {
    const int step = (card * 8 + channel + 4 + card) % 8;
    QColor colour = QColor::fromHsvF(step / 9.0, 0.9, 0.9);
    if (card % 3 == 1 || card % 3 == 2)
        colour = colour.lighter(150);
    colour.setAlphaF(0.8);
    return colour;
}
