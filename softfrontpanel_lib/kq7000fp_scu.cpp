#include "kq7000fp_scu.h"

#include "kq7000fp_scuPluginInterface.h"
#include "kq7000fp_scuWidget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

#include <cstdlib>

namespace {

// Two letters, the unit's four characters, "fp": the maker's naming of panel libraries.
const char kPluginPattern[] = "kq????fp.so";

// The Linux counterpart of the VXIplug&play framework's Windows folder for 64-bit binaries.
const char kPluginSubfolder[] = "/linux64/bin";

} // namespace

kq7000fp_scu::kq7000fp_scu(ViSession session, ViUInt16 modelCode, ViUInt16 variantCode, QObject *parent)
    : QObject(parent), m_session(session), m_modelCode(modelCode), m_variantCode(variantCode),
      m_loader(new QPluginLoader(this)) {
    // An empty value is taken as unset: it would otherwise send the search to a folder at
    // the root of the file system.
    const char *root = std::getenv("VXIPNPPATH64");
    if (root && *root)
        m_pluginFolder = QDir::cleanPath(QString::fromLocal8Bit(root) + kPluginSubfolder);
}

kq7000fp_scu::~kq7000fp_scu() {
    // Every widget goes before any library does: their code lives in the libraries.
    for (Entry &e : m_loaded)
        delete e.widget.data();
    for (Entry &e : m_loaded)
        e.loader->unload();
}

QString kq7000fp_scu::applicationFolder() const {
    return QCoreApplication::applicationDirPath();
}

QList<kq7000fp_scuWidget *> kq7000fp_scu::plugins() {
    if (m_loaded.empty()) {
        loadFrom(applicationFolder());
        if (!m_pluginFolder.isEmpty())
            loadFrom(m_pluginFolder);
    }
    if (m_offered.isEmpty()) {
        for (const Entry &e : m_loaded) {
            kq7000fp_scuWidget *w = e.widget;
            if (!w || !w->isPresent() || !w->isReady())
                continue;
            m_offered.append(w);
            // Demo cards have no unit in front of them that could object to sharing.
            if (w->isExclusive() && m_session != 0)
                break;
        }
    }
    return m_offered;
}

int kq7000fp_scu::loadFrom(const QString &folder) {
    const QDir dir(folder);
    for (const QFileInfo &file : dir.entryInfoList({kPluginPattern}, QDir::Files, QDir::Unsorted)) {
        // The folder searched first wins; a second copy is not even mapped.
        if (isLoaded(file.fileName()))
            continue;
        m_loader->setFileName(file.absoluteFilePath());
        auto *plugin = qobject_cast<kq7000fp_scuPluginInterface *>(m_loader->instance());
        kq7000fp_scuWidget *widget = plugin ? plugin->createWidget() : nullptr;
        // A plug-in that carries its own copy of the widget base class, instead of using the
        // program's shared one, has a meta-object the panels' connections do not know.
        if (widget && !qobject_cast<kq7000fp_scuWidget *>(static_cast<QObject *>(widget))) {
            delete widget;
            widget = nullptr;
        }
        if (!widget) {
            releaseLoader();
            continue;
        }
        widget->init(m_session, m_modelCode, m_variantCode);
        if (!widget->acceptsCard()) {
            delete widget;
            releaseLoader();
            continue;
        }
        m_loaded.push_back({m_loader, widget});
        m_loader = new QPluginLoader(this);
    }
    return static_cast<int>(m_loaded.size());
}

bool kq7000fp_scu::isLoaded(const QString &fileName) const {
    const QString base = QFileInfo(fileName).baseName();
    for (const Entry &e : m_loaded)
        if (QFileInfo(e.loader->fileName()).baseName() == base)
            return true;
    return false;
}

// The loader is used again for the next file; a library it holds but that gave nothing
// usable is let go, or it would stay loaded for the rest of the run.
void kq7000fp_scu::releaseLoader() {
    if (m_loader->isLoaded())
        m_loader->unload();
}
