// The small images of the frame, drawn rather than stored so they stay sharp and simple; each
// is drawn again at the size and pixel ratio it is shown at (sizes below in logical pixels).
#pragma once

#include <QIcon>
#include <QPixmap>

class kq7000fp_icons {
public:
    static QIcon startSingle();     // 12 x 12 green right-pointing triangle
    static QIcon startRepetitive(); // 12 x 12 green double triangle
    static QIcon stop();            // 12 x 12 dark red square
    static QIcon whatsThis();       // 20 x 17 arrow with a question mark
    static QSize whatsThisSize();
    static QIcon window(); // 16 x 16 in white, blue, grey, red and transparent
};
