// The signal conditioning unit host over plug-in libraries built for the test: which folders
// it searches and in which order, which plug-ins it offers for a card, and that its widgets
// go with it.
#include "kq7000fp_scu.h"
#include "kq7000fp_scuWidget.h"

#include "../support/WidgetTest.h"

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
        unsetenv("VXIPNPPATH64");
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("app"));
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("vxipnp/linux64/bin"));
    }

    QString appFolder() const { return m_dir.filePath("app"); }
    QString vxiRoot() const { return m_dir.filePath("vxipnp"); }
    QString pluginFolder() const { return m_dir.filePath("vxipnp/linux64/bin"); }
    void useVxiRoot() const { setenv("VXIPNPPATH64", vxiRoot().toLocal8Bit().constData(), 1); }
    // Empties both folders, then copies the built test plug-ins there: "kqunitfp" as itself,
    // "kqunitfp>kqsamefp.so" under another name.
    void place(const QStringList &app, const QStringList &plugins) {
        for (const QString &folder : {appFolder(), pluginFolder()}) {
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
        }
        for (const auto &[folder, names] : {std::pair{appFolder(), app}, std::pair{pluginFolder(), plugins}})
            for (const QString &name : names) {
                const QString plugin = name.section('>', 0, 0), as = name.section('>', 1);
                ASSERT_TRUE(QFile::copy(QString(KQ_SCU_TEST_PLUGINS) + "/" + plugin + ".so",
                                        folder + "/" + (as.isEmpty() ? plugin + ".so" : as)))
                    << name.toStdString();
            }
    }

    SavedVariable m_savedRoot{"VXIPNPPATH64"};
    QTemporaryDir m_dir;
};

// The program folder is searched first, then the folder under VXIPNPPATH64 when it is set (not
// beside it); a plug-in of the same name in the program folder wins. An exclusive plug-in ends
// the list only for a card with a session. Only plug-ins serving the card's model and ready
// are offered; files that are not plug-ins of this interface are skipped silently.
TEST_F(ScuTest, PluginsOfferedFollowTheFoldersAndTheCard) {
    const struct {
        QStringList app, plugins;
        const char *root; // VXIPNPPATH64: unset (null), empty, or the test's
        ViSession session;
        ViUInt16 model;
        QStringList offered;
    } cases[] = {
        {{"kqunitfp"}, {"kqexclfp"}, nullptr, 0, 0x7150, {"Unit"}},
        {{"kqunitfp"}, {"kqexclfp"}, "", 0, 0x7150, {"Unit"}},
        {{"kqunitfp"}, {"kqexclfp"}, "set", 0, 0x7150, {"Unit", "Exclusive"}},
        {{"kqunitfp>kqsamefp.so"}, {"kqexclfp>kqsamefp.so"}, "set", 0, 0x7150, {"Unit"}},
        {{"kqexclfp"}, {"kqunitfp"}, "set", 0, 0x7150, {"Exclusive", "Unit"}},
        {{"kqexclfp"}, {"kqunitfp"}, "set", 0x1234, 0x7150, {"Exclusive"}},
        {{"kqunitfp"}, {"kqexclfp"}, "set", 0x1234, 0x7150, {"Unit", "Exclusive"}},
        {{"kqunitfp", "kq7140fp", "kqidlefp"}, {}, nullptr, 0x55, 0x7150, {"Unit"}},
        {{"kqunitfp", "kq7140fp", "kqidlefp"}, {}, nullptr, 0x55, 0x7140, {"Other"}},
        {{"kqforefp", "kqnonefp", "kqunitfp>kqunit.so", "kqunitfp>libkqunitfp.so", "kqexclfp>kqexclfp.so.1",
          "kqunitfp"},
         {},
         nullptr,
         0,
         0x7150,
         {"Unit"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.app.join(",").toStdString() << " | "
                                        << c.plugins.join(",").toStdString() << ", session " << c.session);
        ASSERT_NO_FATAL_FAILURE(place(c.app, c.plugins));
        {
            QFile junk(appFolder() + "/kqjunkfp.so");
            ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("not a library\n") > 0);
        }
        ASSERT_TRUE(QDir(appFolder()).mkdir("kqdirsfp.so"));
        if (!c.root)
            unsetenv("VXIPNPPATH64");
        else if (*c.root)
            useVxiRoot();
        else
            setenv("VXIPNPPATH64", "", 1);
        EXPECT_EQ(titles(HostInFolder(appFolder(), c.session, c.model).plugins()), c.offered);
    }
}

TEST_F(ScuTest, LoadingCountsSkipsWhatIsLoadedAndBindsEachWidgetToTheCard) {
    ASSERT_NO_FATAL_FAILURE(
        place({"kqunitfp>kqsamefp.so", "kq7140fp", "kqidlefp"}, {"kqexclfp>kqsamefp.so"}));
    useVxiRoot();
    HostInFolder host(appFolder(), 0x55, 0x7150, 0x4241);
    EXPECT_EQ(QDir(host.pluginFolder()), QDir(pluginFolder()));
    const QList<kq7000fp_scuWidget *> offered = host.plugins();
    ASSERT_EQ(titles(offered), QStringList({"Unit"}));
    EXPECT_EQ(host.plugins(), offered); // the same widgets, not new ones
    EXPECT_TRUE(host.isLoaded("/elsewhere/kqsamefp.so"));
    EXPECT_FALSE(host.isLoaded(appFolder() + "/kq7140fp.so")); // dropped: serves the 7140 only
    EXPECT_TRUE(host.isLoaded(appFolder() + "/kqidlefp.so"));  // kept: present, not ready
    EXPECT_EQ(host.loadFrom(pluginFolder()), 2); // the loaded ones: the same name is not loaded again
    EXPECT_EQ(std::tuple(offered[0]->property("session").toUInt(), offered[0]->property("model").toUInt(),
                         offered[0]->property("variant").toUInt()),
              std::tuple(0x55u, 0x7150u, 0x4241u));
}

TEST_F(ScuTest, TheHostDeletesItsWidgetsWhereverTheyAreShownAndOnlyOnce) {
    ASSERT_NO_FATAL_FAILURE(place({"kqunitfp"}, {}));
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
