#include "CurveTable.h"

#include <charconv>

std::string CurveTable::number(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string CurveTable::cell(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CurveTable::csv() const {
    std::string out = cell(settings) + "\n" + cell(xName);
    for (const Column &column : columns)
        out += "," + cell(column.name);
    out += "\n";
    for (size_t i = 0; i < x.size(); ++i) {
        out += number(x[i]);
        for (const Column &column : columns) {
            out += ',';
            if (i < column.y.size())
                out += number(column.y[i]);
        }
        out += '\n';
    }
    return out;
}
