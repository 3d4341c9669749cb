// The curves of a plot as one table, for a CSV file a spreadsheet opens: a line of settings,
// the column names, then one row per point: the x value all curves share, and each curve's y.
// Numbers are written in their shortest form that reads back as the same double, so the file
// holds exactly what was drawn.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CurveTable {
    struct Column {
        std::string name; // with its unit: "FC1_CH1 (V)"
        std::vector<double> y;
        uint32_t rgb = 0; // the curve's colour, 0xRRGGBB, for a legend
    };

    std::string settings; // one line: "Sampling rate: 10000 Hz, N: 1024"
    std::string xName;    // "Time (s)"
    std::vector<double> x;
    std::vector<Column> columns;

    // A column shorter than x leaves its cells empty below its last point.
    std::string csv() const;

    // The shortest text that reads back as the same double.
    static std::string number(double value);
    // A cell as CSV needs it: quoted, with its quotes doubled, when it holds a comma, a quote
    // or a line break (a custom unit's name may).
    static std::string cell(const std::string &text);
};
