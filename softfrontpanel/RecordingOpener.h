// Opens stored recordings for the offline view from inside the window: "Open Recording..."
// and "Open Recent" in the File menu. A file is read with the same reader and refused with the
// same box as one named on the command line; the window is then replaced by the caller (the
// entry point), which builds a new one for the file, as at start-up.
#pragma once

#include "fileInfo_t.h"

#include <QByteArray>
#include <QObject>

#include <string>

class QMenu;
class QWidget;

class RecordingOpener : public QObject {
    Q_OBJECT
public:
    // Adds its actions to menu; parent owns it.
    RecordingOpener(QMenu *menu, QWidget *parent);

    // Reads the header of the file at path (the system's bytes) into info. On a refusal shows
    // "Cannot read '%1'." with the reason as details and on standard error; info is then as it was.
    static bool read(const QByteArray &path, fileInfo_t &info, QWidget *parent);
    // Puts path first in the recent list (kept in the program's settings, at most kRecent).
    static void remember(const QByteArray &path);

    static constexpr int kRecent = 8;

signals:
    // A readable recording was chosen; info is its header.
    void chosen(const QByteArray &path, const fileInfo_t &info);

private:
    void askAndOpen();
    void open(const QByteArray &path);
    void fillRecent();

    QWidget *m_parent;
    QMenu *m_recent;
};
