#include "RecordingOpener.h"

#include "DataFileReader.h"
#include "kq7000fp_msgBox.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>

#include <cstdio>

namespace {

const char kRecentKey[] = "recentRecordings";

// Bytes, not text: a name that is not valid in the locale's encoding must open again.
QList<QByteArray> recentPaths() {
    QList<QByteArray> paths;
    for (const QVariant &path : QSettings().value(kRecentKey).toList())
        paths.append(path.toByteArray());
    return paths;
}

void storeRecent(const QList<QByteArray> &paths) {
    QVariantList list;
    for (const QByteArray &path : paths)
        list.append(path);
    QSettings().setValue(kRecentKey, list);
}

} // namespace

RecordingOpener::RecordingOpener(QMenu *menu, QWidget *parent) : QObject(parent), m_parent(parent) {
    QAction *open =
        menu->addAction("Open Recording...", this, &RecordingOpener::askAndOpen, QKeySequence::Open);
    open->setObjectName("openRecordingAction");
    open->setToolTip("Views a stored .bin7150 or .flac7150 recording in place of the cards");
    m_recent = menu->addMenu("Open Recent");
    m_recent->setObjectName("recentRecordingsMenu");
    connect(m_recent, &QMenu::aboutToShow, this, &RecordingOpener::fillRecent);
    fillRecent();
}

bool RecordingOpener::read(const QByteArray &path, fileInfo_t &info, QWidget *parent) {
    std::string why;
    if (DataFileReader::readHeader(path.constData(), info, &why) == 0)
        return true;
    std::fprintf(stderr, "Cannot read '%s': %s\n", path.constData(), why.c_str());
    QMessageBox box(QMessageBox::Critical, "Movara 7150 SFP",
                    QString("Cannot read '%1'.").arg(QFile::decodeName(path)), QMessageBox::Ok, parent);
    box.setDetailedText(QString::fromStdString(why));
    kq7000fp_msgBox::exec(box);
    return false;
}

void RecordingOpener::remember(const QByteArray &path) {
    // Made absolute on the bytes: a name that is not valid in the locale's encoding must open again.
    const QByteArray entry =
        path.startsWith('/') ? path : QFile::encodeName(QDir::currentPath()) + "/" + path;
    QList<QByteArray> paths = recentPaths();
    paths.removeAll(entry);
    paths.prepend(entry);
    while (paths.size() > kRecent)
        paths.removeLast();
    storeRecent(paths);
}

void RecordingOpener::askAndOpen() {
    const QList<QByteArray> recent = recentPaths();
    const QString folder = recent.isEmpty() ? QString() : QFileInfo(QFile::decodeName(recent.first())).path();
    const QString name = QFileDialog::getOpenFileName(m_parent, "Open Recording", folder,
                                                      "Recordings (*.bin7150 *.flac7150);;All files (*)");
    if (!name.isEmpty())
        open(QFile::encodeName(name));
}

void RecordingOpener::open(const QByteArray &path) {
    fileInfo_t info{};
    if (!read(path, info, m_parent))
        return;
    if (info.blockCount == 0) {
        kq7000fp_msgBox::ask(QMessageBox::Information, m_parent, "Movara 7150 SFP",
                             QString("'%1' holds no whole block to show.").arg(QFile::decodeName(path)),
                             QMessageBox::Ok);
        return;
    }
    remember(path);
    emit chosen(path, info);
}

void RecordingOpener::fillRecent() {
    m_recent->clear();
    const QList<QByteArray> paths = recentPaths();
    for (int i = 0; i < paths.size(); ++i) {
        const QByteArray path = paths[i];
        // &1 .. &8: the usual keyboard access to a recent list.
        QAction *entry = m_recent->addAction(QString("&%1 %2").arg(i + 1).arg(QFile::decodeName(path)));
        connect(entry, &QAction::triggered, this, [this, path] { open(path); });
    }
    m_recent->setEnabled(!paths.isEmpty());
}
