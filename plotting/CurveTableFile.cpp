#include "CurveTableFile.h"

#include "CurveTable.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

QString CurveTableFile::completedName(const QString &fileName) {
    return QFileInfo(fileName).suffix().isEmpty() ? fileName + ".csv" : fileName;
}

QString CurveTableFile::nothingShown(const CurveTable &table) {
    if (table.columns.empty() || table.x.empty())
        return "There is no curve to export: acquire a block, or show a channel, first.";
    return {};
}

QString CurveTableFile::problem(const QString &fileName) {
    const QDir folder = QFileInfo(fileName).absoluteDir();
    if (!folder.exists())
        return QString("Directory: \"%1\" does not exist.").arg(QDir::toNativeSeparators(folder.path()));
    return {};
}

QString CurveTableFile::write(const CurveTable &table, const QString &fileName) {
    if (const QString refused = nothingShown(table); !refused.isEmpty())
        return refused;
    if (const QString refused = problem(fileName); !refused.isEmpty())
        return refused;
    const std::string text = table.csv();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit())
        return QString("Cannot write the file: \"%1\" (%2).")
            .arg(QDir::toNativeSeparators(fileName), file.errorString());
    return {};
}
