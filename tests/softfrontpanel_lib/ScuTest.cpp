// The signal conditioning unit host over plug-in libraries built for the test: which folders
// it searches and in which order, and which plug-ins it offers for a card. A plug-in found under
// VXIPNPPATH64, its widget bound to its own card and the widgets deleted with the window are the
// scu_plugin workflow's.
#include "kq7000fp_scu.h"
#include "kq7000fp_scuWidget.h"

#include "../support/WidgetTest.h"

namespace {

// The plug-in folder is fixed under the variable; the program's folder is the test's own.
class HostInFolder : public kq7000fp_scu {
public:
    HostInFolder(QString folder, ViSession session, ViUInt16 model)
        : kq7000fp_scu(session, model, 0x4242), m_folder(std::move(folder)) {}

protected:
    QString applicationFolder() const override { return m_folder; }

private:
    QString m_folder;
};

class ScuTest : public ::testing::Test {
protected:
    // Empties both folders, then copies the built test plug-ins there: "kqunitfp" as itself,
    // "kqunitfp>kqsamefp.so" under another name. The program's folder also holds a file and a
    // folder named like plug-ins.
    void place(const QStringList &app, const QStringList &plugins) {
        for (const auto &[folder, names] : {std::pair{appFolder, app}, std::pair{pluginFolder, plugins}}) {
            QDir(folder).removeRecursively();
            ASSERT_TRUE(QDir().mkpath(folder));
            for (const QString &name : names) {
                const QString plugin = name.section('>', 0, 0), as = name.section('>', 1);
                ASSERT_TRUE(QFile::copy(QString(KQ_SCU_TEST_PLUGINS) + "/" + plugin + ".so",
                                        folder + "/" + (as.isEmpty() ? plugin + ".so" : as)))
                    << name.toStdString();
            }
        }
        QFile junk(appFolder + "/kqjunkfp.so");
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("not a library\n") > 0);
        ASSERT_TRUE(QDir(appFolder).mkdir("kqdirsfp.so"));
    }

    SavedVariable savedRoot{"VXIPNPPATH64"};
    QTemporaryDir dir;
    const QString appFolder = dir.filePath("app"), pluginFolder = dir.filePath("vxipnp/linux64/bin");
};

// The program folder is searched first, then the folder under VXIPNPPATH64 when it is set (not
// beside it); a plug-in of the same name in the program folder wins. An exclusive plug-in ends
// the list only for a card with a session. Only plug-ins serving the card's model and ready
// are offered, each bound to the card; files that are not plug-ins of this interface are
// skipped silently.
TEST_F(ScuTest, PluginsOfferedFollowTheFoldersAndTheCard) {
    const QStringList others{
        "kqforefp", "kqnonefp", "kqunitfp>kqunit.so", "kqunitfp>libkqunitfp.so", "kqexclfp>kqexclfp.so.1",
        "kqunitfp"};
    const struct {
        QStringList app, plugins;
        bool root; // VXIPNPPATH64 set to the test's folder
        ViSession session;
        ViUInt16 model;
        QStringList offered;
    } cases[] = {
        {{"kqunitfp"}, {"kqexclfp"}, false, 0, 0x7150, {"Unit"}},
        {{"kqunitfp>kqsamefp.so"}, {"kqexclfp>kqsamefp.so"}, true, 0, 0x7150, {"Unit"}},
        {{"kqexclfp"}, {"kqunitfp"}, true, 0, 0x7150, {"Exclusive", "Unit"}},
        {{"kqexclfp"}, {"kqunitfp"}, true, 0x1234, 0x7150, {"Exclusive"}},
        {{"kqunitfp"}, {"kqexclfp"}, true, 0x1234, 0x7150, {"Unit", "Exclusive"}},
        {{"kqunitfp", "kq7140fp", "kqidlefp"}, {}, false, 0x55, 0x7150, {"Unit"}},
        {{"kqunitfp", "kq7140fp", "kqidlefp"}, {}, false, 0x55, 0x7140, {"Other"}},
        {others, {}, false, 0, 0x7150, {"Unit"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.app.join(",").toStdString() << " | "
                                        << c.plugins.join(",").toStdString() << ", session " << c.session);
        ASSERT_NO_FATAL_FAILURE(place(c.app, c.plugins));
        if (c.root)
            setenv("VXIPNPPATH64", dir.filePath("vxipnp").toLocal8Bit().constData(), 1);
        else
            unsetenv("VXIPNPPATH64");
        HostInFolder host(appFolder, c.session, c.model);
        QStringList offered;
        for (const kq7000fp_scuWidget *w : host.plugins()) {
            offered << w->windowTitle();
            EXPECT_EQ(w->property("card"), QString("%1 %2 4242").arg(c.session, 0, 16).arg(c.model, 0, 16));
        }
        EXPECT_EQ(offered, c.offered);
    }
}

} // namespace
