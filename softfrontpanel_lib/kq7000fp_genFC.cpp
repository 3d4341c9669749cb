#include "kq7000fp_genFC.h"

#include <cstdio>

std::string kq7000fp_genFC::modelText() const {
    char text[16];
    std::snprintf(text, sizeof text, "%4x", static_cast<unsigned>(modelCode));
    return text;
}
