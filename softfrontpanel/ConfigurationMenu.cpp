#include "ConfigurationMenu.h"

#include "ConfigurationKeys.h"
#include "ConfigurationMismatches.h"
#include "ConfigurationWidgets.h"
#include "kq7150fp_App.h"
#include "kq7150fp_Waveform.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSaveFile>
#include <QSettings>

#include <stdexcept>

namespace {

const char kFilter[] = "Configurations (*.ini)";
const char kSuffix[] = "ini";
const char kRestoreKey[] = "Configuration/RestoreAtStart";
const char kLastFileKey[] = "Configuration/LastFile";

QString shown(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// The file's text, at most one byte more than a configuration may have; false with why not.
bool readBounded(const QString &path, std::string &text, QString &why) {
    const QFileInfo info(path);
    if (!info.exists()) {
        why = "the file does not exist";
        return false;
    }
    // A FIFO or a device would be waited on, or read without end.
    if (!info.isFile()) {
        why = "it is not a regular file";
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return false;
    }
    const QByteArray bytes = file.read(ConfigurationFile::kMaxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        why = file.errorString();
        return false;
    }
    text.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

} // namespace

ConfigurationMenu::ConfigurationMenu(kq7150fp_App &app, bool offline)
    : QObject(&app), m_app(app), m_offline(offline), m_askSaveName(orFileDialog(nullptr)) {
    setOpenNameAsker(nullptr);
    QMenu *menu = app.fileMenu();
    m_save =
        menu->addAction("&Save Configuration...", this, &ConfigurationMenu::askAndSave, QKeySequence::Save);
    m_save->setToolTip(
        "Saves every setting of the channels, the acquisition, the storage and the plots to a file");
    m_open = menu->addAction("&Open Configuration...", this, &ConfigurationMenu::askAndOpen,
                             QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_O));
    m_open->setToolTip("Applies the settings of a saved configuration to the Function Cards and the panel");
    // A stored file's settings are locked to the file.
    m_open->setEnabled(!offline);
    menu->addSeparator();
    m_restore = menu->addAction("&Restore Last Configuration at Start");
    m_restore->setCheckable(true);
    m_restore->setToolTip(
        "Saves the settings when the program closes and applies them after connecting at the "
        "next start");
    m_restore->setChecked(QSettings().value(kRestoreKey, false).toBool());
    connect(m_restore, &QAction::toggled, this, [](bool on) { QSettings().setValue(kRestoreKey, on); });
    for (QAction *action : {m_save, m_open, m_restore})
        action->setWhatsThis(action->toolTip());
    menu->setToolTipsVisible(true);
}

void ConfigurationMenu::setOpenNameAsker(OpenNameAsker asker) {
    if (!asker)
        asker = [](QWidget *parent, const QString &caption, const QString &path, const QString &filters) {
            return QFileDialog::getOpenFileName(parent, caption, path, filters);
        };
    m_askOpenName = std::move(asker);
}

QString ConfigurationMenu::lastSessionPath() {
    return QFileInfo(QSettings().fileName()).absolutePath() +
           "/Movara 7150 Soft Front Panel Last Configuration.ini";
}

void ConfigurationMenu::askAndSave() {
    QString filter = kFilter;
    const QString start = QSettings().value(kLastFileKey, QDir::homePath() + "/configuration.ini").toString();
    QString path = m_askSaveName(&m_app, "Save Configuration", start, kFilter, &filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QString(".") + kSuffix;
    if (save(path))
        QSettings().setValue(kLastFileKey, path);
}

void ConfigurationMenu::askAndOpen() {
    // The pages are locked while the cards acquire; so are their settings.
    if (m_app.waveform->started()) {
        kq7150fp_App::showInfoMessage("Stop the acquisition before opening a configuration.");
        return;
    }
    const QString start = QSettings().value(kLastFileKey, QDir::homePath()).toString();
    const QString path = m_askOpenName(&m_app, "Open Configuration", start, kFilter);
    if (!path.isEmpty() && open(path))
        QSettings().setValue(kLastFileKey, path);
}

bool ConfigurationMenu::save(const QString &path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        kq7150fp_App::showWarningMessage(
            QString("Cannot save the configuration: the folder \"%1\" does not exist.").arg(shown(folder)));
        return false;
    }
    std::string text;
    try {
        text = ConfigurationWidgets::collect(m_app).text();
    } catch (const std::invalid_argument &e) {
        // Only text a line cannot hold (a line break) gets here; no control takes one.
        kq7150fp_App::showWarningMessage(QString("Cannot save the configuration: %1").arg(e.what()));
        return false;
    }
    // Written beside the file and renamed over it when whole: a full disk leaves the old one.
    // The buffer is flushed first: commit() does not count a failed last flush and would put
    // an empty file in place of the old one.
    QSaveFile file(path);
    const bool written =
        file.open(QIODevice::WriteOnly | QIODevice::Text) &&
        file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) &&
        file.flush();
    const QString why = file.errorString();
    if (!written || !file.commit()) {
        file.cancelWriting();
        kq7150fp_App::showWarningMessage(QString("Cannot save the configuration to \"%1\": %2")
                                             .arg(shown(path), written ? file.errorString() : why));
        return false;
    }
    return true;
}

bool ConfigurationMenu::open(const QString &path) {
    std::string text, error;
    QString why;
    ConfigurationFile file;
    if (readBounded(path, text, why) &&
        !(ConfigurationFile::parse(text, file, error) && ConfigurationKeys::check(file, error)))
        why = QString::fromStdString(error);
    if (!why.isEmpty()) {
        kq7150fp_App::showWarningMessage(
            QString("Cannot open the configuration \"%1\": %2. Nothing was changed.").arg(shown(path), why));
        return false;
    }
    ConfigurationMismatches mismatches;
    ConfigurationWidgets::apply(file, m_app, mismatches);
    if (!mismatches.empty())
        kq7150fp_App::showWarningMessage(
            QString("Some settings of \"%1\" do not fit the connected Function Cards:\n\n%2")
                .arg(QFileInfo(path).fileName(), QString::fromStdString(mismatches.text())));
    return true;
}

void ConfigurationMenu::restoreAtStart() {
    if (m_offline || !m_restore->isChecked() || !QFileInfo::exists(lastSessionPath()))
        return;
    open(lastSessionPath());
}

void ConfigurationMenu::saveForNextStart() {
    if (m_offline || !m_restore->isChecked())
        return;
    QDir().mkpath(QFileInfo(lastSessionPath()).absolutePath());
    save(lastSessionPath());
}
