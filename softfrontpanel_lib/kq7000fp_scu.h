// Finds, loads and keeps the signal conditioning unit plug-ins for one function card. The
// program's own folder is searched first, then the folder under VXIPNPPATH64 where the
// maker's plug-ins are installed ("$VXIPNPPATH64/linux64/bin"); files named "kq????fp.so" are
// tried, and what is not a plug-in of this interface, or a plug-in that does not serve the
// card, is passed over without a message.
#pragma once

#include "visatype.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QPluginLoader;
class kq7000fp_scuWidget;

class kq7000fp_scu : public QObject {
    Q_OBJECT
public:
    // session is the card's own session, 0 in demo mode.
    kq7000fp_scu(ViSession session, ViUInt16 modelCode, ViUInt16 variantCode, QObject *parent = nullptr);
    // Deletes every plug-in widget, wherever it is shown, then unloads the libraries.
    ~kq7000fp_scu() override;

    // The widgets to show for the card; the plug-ins are loaded on the first call, and every
    // call returns the same widgets.
    QList<kq7000fp_scuWidget *> plugins();
    // Loads the plug-ins of one folder that serve the card; returns how many are loaded in all.
    int loadFrom(const QString &folder);
    // A plug-in with that file's base name is loaded already.
    bool isLoaded(const QString &fileName) const;

    // The folder under VXIPNPPATH64 as read at construction; empty when the variable is not set.
    QString pluginFolder() const { return m_pluginFolder; }

signals:
    // For panels that want to hear about a unit's gain; the host itself has nothing to tell.
    void gainChanged(int chIdx, ViReal64 gain);

protected:
    // The folder searched first. Virtual only so that a test can put plug-ins somewhere other
    // than beside the test program.
    virtual QString applicationFolder() const;

private:
    struct Entry {
        QPluginLoader *loader;
        // Null once something else deleted the widget (a page that was closed, say).
        QPointer<kq7000fp_scuWidget> widget;
    };

    void releaseLoader();

    ViSession m_session;
    ViUInt16 m_modelCode;
    ViUInt16 m_variantCode;
    QPluginLoader *m_loader;
    std::vector<Entry> m_loaded;
    QList<kq7000fp_scuWidget *> m_offered;
    QString m_pluginFolder;
};
