// The signal conditioning unit host over plug-in libraries built for the test: which folders
// it searches and in which order, which plug-ins it offers for a card, and that its widgets
// go with it.
#include "kq7000fp_scu.h"
#include "kq7000fp_scuWidget.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

// The plug-in folder is fixed under the variable; the program's folder is the test's own.
class HostInFolder : public kq7000fp_scu {
public:
    HostInFolder(QString folder, ViSession session, ViUInt16 model = 0x7150, ViUInt16 variant = 0x4242)
        : kq7000fp_scu(session, model, variant), m_folder(std::move(folder)) {}

protected:
    QString applicationFolder() const override { return m_folder; }

private:
    QString m_folder;
};

QStringList titles(const QList<kq7000fp_scuWidget *> &widgets) {
    QStringList t;
    for (const kq7000fp_scuWidget *w : widgets)
        t << w->windowTitle();
    return t;
}

class ScuTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char *v = std::getenv("VXIPNPPATH64"))
            m_savedRoot = v;
        unsetenv("VXIPNPPATH64");
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("app"));
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("vxipnp/linux64/bin"));
    }
    void TearDown() override {
        if (m_savedRoot)
            setenv("VXIPNPPATH64", m_savedRoot->c_str(), 1);
        else
            unsetenv("VXIPNPPATH64");
    }

    QString appFolder() const { return m_dir.filePath("app"); }
    QString vxiRoot() const { return m_dir.filePath("vxipnp"); }
    QString pluginFolder() const { return m_dir.filePath("vxipnp/linux64/bin"); }
    void useVxiRoot() const { setenv("VXIPNPPATH64", vxiRoot().toLocal8Bit().constData(), 1); }

    // Copies one of the built test plug-ins ("kqunitfp" ...) into folder, under another name if given.
    static void place(const char *plugin, const QString &folder, QString as = {}) {
        if (as.isEmpty())
            as = QString(plugin) + ".so";
        ASSERT_TRUE(QFile::copy(QString(KQ_SCU_TEST_PLUGINS) + "/" + plugin + ".so", folder + "/" + as))
            << plugin << " -> " << as.toStdString();
    }

    QTemporaryDir m_dir;
    std::optional<std::string> m_savedRoot;
};

TEST_F(ScuTest, SearchesTheProgramFolderThenTheFolderUnderVxipnppath64OnlyWhenItIsSet) {
    place("kqunitfp", appFolder());
    place("kqexclfp", pluginFolder());
    place("kqexclfp", vxiRoot(), "kqrootfp.so"); // beside the bin folder, not in it

    EXPECT_EQ(titles(HostInFolder(appFolder(), 0).plugins()), QStringList({"Unit"}));
    setenv("VXIPNPPATH64", "", 1);
    EXPECT_EQ(titles(HostInFolder(appFolder(), 0).plugins()), QStringList({"Unit"}));

    useVxiRoot();
    HostInFolder host(appFolder(), 0);
    EXPECT_EQ(QDir(host.pluginFolder()), QDir(pluginFolder()));
    EXPECT_EQ(titles(host.plugins()), QStringList({"Unit", "Exclusive"}));
}

TEST_F(ScuTest, ThePluginInTheProgramFolderWinsOverOneOfTheSameNameInThePluginFolder) {
    place("kqunitfp", appFolder(), "kqsamefp.so");
    place("kqexclfp", pluginFolder(), "kqsamefp.so");
    useVxiRoot();
    HostInFolder host(appFolder(), 0);
    EXPECT_EQ(titles(host.plugins()), QStringList({"Unit"}));
    EXPECT_TRUE(host.isLoaded("/elsewhere/kqsamefp.so"));
    EXPECT_FALSE(host.isLoaded(appFolder() + "/kqunitfp.so"));
    EXPECT_EQ(host.loadFrom(pluginFolder()), 1);
}

TEST_F(ScuTest, AnExclusivePluginEndsTheListOnlyForACardWithASession) {
    useVxiRoot();
    // The program folder is searched first, so its plug-in comes first in the list.
    struct Case {
        const char *first, *second;
        ViSession session;
        QStringList offered;
    };
    const Case cases[] = {
        {"kqexclfp", "kqunitfp", 0, {"Exclusive", "Unit"}},
        {"kqexclfp", "kqunitfp", 0x1234, {"Exclusive"}},
        {"kqunitfp", "kqexclfp", 0x1234, {"Unit", "Exclusive"}},
    };
    for (const Case &c : cases) {
        for (const QString &folder : {appFolder(), pluginFolder()})
            for (const QString &file : QDir(folder).entryList(QDir::Files))
                QFile::remove(folder + "/" + file);
        place(c.first, appFolder());
        place(c.second, pluginFolder());
        EXPECT_EQ(titles(HostInFolder(appFolder(), c.session).plugins()), c.offered)
            << c.first << " then " << c.second << ", session " << c.session;
    }
}

TEST_F(ScuTest, OnlyPluginsServingTheCardAndReadyAreOfferedAndEachIsBoundToTheCard) {
    place("kqunitfp", appFolder());
    place("kq7140fp", appFolder()); // serves the 7140 only
    place("kqidlefp", appFolder()); // present, not ready

    HostInFolder host(appFolder(), 0x55, 0x7150, 0x4241);
    EXPECT_EQ(host.loadFrom(appFolder()), 2); // the 7140's is dropped, the idle one kept
    const QList<kq7000fp_scuWidget *> offered = host.plugins();
    ASSERT_EQ(titles(offered), QStringList({"Unit"}));
    EXPECT_EQ(host.plugins(), offered); // the same widgets, not new ones
    EXPECT_EQ(offered[0]->property("session").toUInt(), 0x55u);
    EXPECT_EQ(offered[0]->property("model").toUInt(), 0x7150u);
    EXPECT_EQ(offered[0]->property("variant").toUInt(), 0x4241u);

    EXPECT_EQ(titles(HostInFolder(appFolder(), 0x55, 0x7140).plugins()), QStringList({"Other"}));
}

TEST_F(ScuTest, FilesThatAreNotPluginsOfThisInterfaceAreSkippedSilently) {
    {
        QFile junk(appFolder() + "/kqjunkfp.so");
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("not a library\n");
    }
    ASSERT_TRUE(QDir(appFolder()).mkdir("kqdirsfp.so"));
    place("kqforefp", appFolder());              // a plug-in of another program
    place("kqnonefp", appFolder());              // gives no widget
    place("kqunitfp", appFolder(), "kqunit.so"); // names outside the pattern
    place("kqunitfp", appFolder(), "libkqunitfp.so");
    place("kqexclfp", appFolder(), "kqexclfp.so.1");
    place("kqunitfp", appFolder());

    HostInFolder host(appFolder(), 0);
    EXPECT_EQ(host.loadFrom(appFolder()), 1);
    EXPECT_EQ(titles(host.plugins()), QStringList({"Unit"}));
}

TEST_F(ScuTest, TheHostDeletesItsWidgetsWhereverTheyAreShownAndOnlyOnce) {
    place("kqunitfp", appFolder());
    auto host = std::make_unique<HostInFolder>(appFolder(), 0);
    ASSERT_EQ(host->plugins().size(), 1);
    QPointer<kq7000fp_scuWidget> widget = host->plugins()[0];
    auto tabs = std::make_unique<QTabWidget>();
    tabs->addTab(widget, "page");
    host.reset();
    EXPECT_TRUE(widget.isNull());
    EXPECT_EQ(tabs->count(), 0);

    // A page deleted with its tab before the host: the host must not delete it again.
    host = std::make_unique<HostInFolder>(appFolder(), 0);
    tabs->addTab(host->plugins()[0], "page");
    tabs.reset();
    host.reset();
}

} // namespace
