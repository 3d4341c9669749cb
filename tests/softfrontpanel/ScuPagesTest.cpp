// The "SCUs" pages of the window with the example signal conditioning unit plug-in: one page
// per demo card, the unit's texts for the About dialog and its failures reported like the
// window's own. How a page follows its card's channels is the scu_plugin workflow's.
#include "PanelTest.h"

#include "kq7000fp_About.h"

#include "kq7000fp_scuWidget.h"

namespace {

class ScuPagesTest : public PanelTest {
protected:
    void TearDown() override { app.reset(); }

    // Installs the example plug-in where the maker's plug-ins go.
    void installExample() {
        const QString bin = m_root.filePath("linux64/bin");
        ASSERT_TRUE(QDir().mkpath(bin));
        ASSERT_TRUE(QFile::copy(KQ_EXAMPLE_SCU_PLUGIN, bin + "/kq71a0fp.so"));
        qputenv("VXIPNPPATH64", m_root.path().toLocal8Bit());
    }
    QTabWidget *scuTab() const {
        for (int i = 0; i < app->mainTabs()->count(); ++i)
            if (app->mainTabs()->tabText(i) == "SCUs")
                return qobject_cast<QTabWidget *>(app->mainTabs()->widget(i));
        return nullptr;
    }

    SavedVariable m_saved{"VXIPNPPATH64"};
    const bool m_unset = qunsetenv("VXIPNPPATH64"); // no plug-in until one is installed
    QTemporaryDir m_root;
};

// The pages' titles and a real card's unit are the scu_plugin workflow's.
TEST_F(ScuPagesTest, EachDemoCardGetsAPageThatReportsThroughTheWindow) {
    ASSERT_NO_FATAL_FAILURE(installExample());
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    QTabWidget *pages = scuTab();
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(app->mainTabs()->indexOf(pages), app->mainTabs()->count() - 1); // after "Acquisition"
    ASSERT_EQ(pages->count(), 2);
    // In the About dialog the units follow the one demo card; a unit without a session says so.
    EXPECT_EQ(app->findChild<kq7000fp_About *>("aboutDialog")->pageCount(), 3);
    ASSERT_EQ(app->scuHardware().size(), 2u);
    const auto &unit = app->scuHardware()[1];
    EXPECT_EQ(std::tuple(unit.card, unit.model, unit.serial, unit.revision),
              std::tuple(1, "71A0-01", "71A00017 (DEMO)", "1.0.0"));
    emit qobject_cast<kq7000fp_scuWidget *>(pages->widget(1))
        ->masterError(VI_ERROR_TMO, "kq71a0_setGain(vi, 4, 100)");
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq71a0_setGain(vi, 4, 100) failed due to ["));
}

// The pages are built last of all the card's pages, with the last session request: when it
// fails there is no unit page.
TEST_F(ScuPagesTest, NoUnitPageWithoutPluginsOrWithoutASession) {
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    EXPECT_EQ(std::pair(scuTab(), app->mainTabs()->count()), std::pair((QTabWidget *)nullptr, 4));
    EXPECT_TRUE(app->scuHardware().empty());
    ASSERT_NO_FATAL_FAILURE(installExample());
    ASSERT_NO_FATAL_FAILURE(open(kVxiWorld));
    ASSERT_NE(scuTab(), nullptr);
    const std::string fault =
        R"({"faults":[{"call":"kq7150_getMultFCsession","status":"0xBFFC0814","from":)" +
        std::to_string(builtWith.first) + "}]}";
    ASSERT_NO_FATAL_FAILURE(open(kVxiWorld, fault));
    ASSERT_EQ(openingBoxes.size(), 2); // after the connection question, the one failure
    EXPECT_TRUE(openingBoxes[1].startsWith("kq7150_getMultFCsession(d_vi, i, &fc_vi) failed due to ["));
    EXPECT_EQ(scuTab(), nullptr);
    EXPECT_TRUE(app->scuHardware().empty());
}

} // namespace
