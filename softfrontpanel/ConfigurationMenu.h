// The File menu's configurations: "Save Configuration..." writes every setting a person makes
// to a text file (ConfigurationFile), "Open Configuration..." applies one and lists what does
// not fit the cards at hand, and "Restore Last Configuration at Start" keeps the settings of the
// last session in the program's own folder of settings.
#pragma once

#include "saveNameAsker.h"

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class kq7150fp_App;

class ConfigurationMenu : public QObject {
    Q_OBJECT
public:
    // Asks for the name of an existing file, as QFileDialog::getOpenFileName does.
    using OpenNameAsker = std::function<QString(QWidget *parent, const QString &caption, const QString &path,
                                                const QString &filters)>;

    // offline: a stored file is viewed; its settings are the file's and must not become the
    // next session's, and the locked pages take no configuration.
    ConfigurationMenu(kq7150fp_App &app, bool offline);

    QAction *saveAction() const { return m_save; }
    QAction *openAction() const { return m_open; }
    QAction *restoreAction() const { return m_restore; }
    // Empty askers restore the file dialogs.
    void setSaveNameAsker(saveNameAsker asker) { m_askSaveName = orFileDialog(std::move(asker)); }
    void setOpenNameAsker(OpenNameAsker asker);

    // Writes the window's settings; false after a message saying why not.
    bool save(const QString &path);
    // Applies a file's settings; false, with nothing applied, after a message saying why not.
    bool open(const QString &path);

    // Once the cards are connected: the last session's settings, when the person asked for them.
    void restoreAtStart();
    // When the window closes: the settings for the next start, when the person asked for that.
    void saveForNextStart();
    // Where the last session's settings are kept: beside the program's settings file.
    static QString lastSessionPath();

private slots:
    void askAndSave();
    void askAndOpen();

private:
    kq7150fp_App &m_app;
    bool m_offline;
    QAction *m_save = nullptr;
    QAction *m_open = nullptr;
    QAction *m_restore = nullptr;
    saveNameAsker m_askSaveName;
    OpenNameAsker m_askOpenName;
};
