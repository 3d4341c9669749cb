// Writes a curve table as a CSV file, whole or not at all: when anything fails (a folder that
// is gone, a read-only file, a full disk), a file of that name that existed before is kept.
#pragma once

#include <QString>

struct CurveTable;

class CurveTableFile {
public:
    static QString filter() { return "CSV file (*.csv)"; }
    // A name without a suffix gets ".csv"; any other is kept.
    static QString completedName(const QString &fileName);
    // The message for the user when the table holds no curve; empty when it does.
    static QString nothingShown(const CurveTable &table);
    // The message for the user when the file's folder does not exist; empty when it does.
    static QString problem(const QString &fileName);
    // Empty on success, else the message.
    static QString write(const CurveTable &table, const QString &fileName);
};
