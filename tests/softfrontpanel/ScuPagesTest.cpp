// The "SCUs" pages of the window with the example signal conditioning unit plug-in: one page
// per demo card, the unit's texts for the About dialog and its failures reported like the
// window's own. How a page follows its card's channels is the scu_plugin workflow's.
#include "PanelTest.h"

#include "kq7000fp_About.h"

#include "kq7000fp_scuWidget.h"

#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

class ScuPagesTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (const char *v = std::getenv("VXIPNPPATH64"))
            m_savedRoot = v;
        unsetenv("VXIPNPPATH64");
    }
    void TearDown() override {
        app.reset();
        if (m_savedRoot)
            setenv("VXIPNPPATH64", m_savedRoot->c_str(), 1);
        else
            unsetenv("VXIPNPPATH64");
    }

    // Installs the example plug-in where the maker's plug-ins go.
    void installExample() {
        const QString bin = m_root.filePath("linux64/bin");
        ASSERT_TRUE(QDir().mkpath(bin));
        ASSERT_TRUE(QFile::copy(KQ_EXAMPLE_SCU_PLUGIN, bin + "/kq71a0fp.so"));
        setenv("VXIPNPPATH64", m_root.path().toLocal8Bit().constData(), 1);
    }

    QTabWidget *scuTab() const {
        for (int i = 0; i < app->mainTabs()->count(); ++i)
            if (app->mainTabs()->tabText(i) == "SCUs")
                return qobject_cast<QTabWidget *>(app->mainTabs()->widget(i));
        return nullptr;
    }

    QTemporaryDir m_root;
    std::optional<std::string> m_savedRoot;
};

TEST_F(ScuPagesTest, EachDemoCardGetsAPageThatReportsThroughTheWindow) {
    ASSERT_NO_FATAL_FAILURE(installExample());
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    QTabWidget *pages = scuTab();
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(app->mainTabs()->indexOf(pages), app->mainTabs()->count() - 1); // after "Acquisition"
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->tabText(0), "Movara 71A0 SCU on FC #1");
    EXPECT_EQ(pages->tabText(1), "Movara 71A0 SCU on FC #2");

    // In the About dialog the units follow the one demo card.
    auto *about = app->findChild<kq7000fp_About *>("aboutDialog");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->pageCount(), 3);
    ASSERT_EQ(app->scuHardware().size(), 2u);
    EXPECT_EQ(app->scuHardware()[1].card, 1);
    EXPECT_EQ(app->scuHardware()[1].model, "71A0-01");
    EXPECT_EQ(app->scuHardware()[1].serial, "71A00017 (DEMO)"); // the unit was told there is no session
    EXPECT_EQ(app->scuHardware()[1].revision, "1.0.0");

    // A failure of the unit is reported like the window's own.
    emit qobject_cast<kq7000fp_scuWidget *>(pages->widget(1))
        ->masterError(VI_ERROR_TMO, "kq71a0_setGain(vi, 4, 100)");
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq71a0_setGain(vi, 4, 100) failed due to ["));
}

TEST_F(ScuPagesTest, ACardWithASessionGetsItsUnitAndACardWithoutOneNone) {
    ASSERT_NO_FATAL_FAILURE(installExample());
    ASSERT_NO_FATAL_FAILURE(open(kVxiWorld));
    ASSERT_NE(scuTab(), nullptr);
    ASSERT_EQ(scuTab()->count(), 1);
    EXPECT_EQ(scuTab()->tabText(0), "Movara 71A0 SCU on FC #1");
    ASSERT_EQ(app->scuHardware().size(), 1u);
    EXPECT_EQ(app->scuHardware()[0].serial, "71A00017");

    // The pages are built last of all the card's pages, with the last session request.
    const std::string fault =
        R"({"faults":[{"call":"kq7150_getMultFCsession","status":"0xBFFC0814","from":)" +
        std::to_string(builtWith.first) + "}]}";
    ASSERT_NO_FATAL_FAILURE(open(kVxiWorld, fault));
    // After the connection question, the one failure.
    ASSERT_EQ(openingBoxes.size(), 2);
    EXPECT_TRUE(openingBoxes[1].startsWith("kq7150_getMultFCsession(d_vi, i, &fc_vi) failed due to ["));
    EXPECT_EQ(scuTab(), nullptr);
    EXPECT_TRUE(app->scuHardware().empty());
}

TEST_F(ScuPagesTest, WithoutPluginsThereIsNoScuTab) {
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    EXPECT_EQ(scuTab(), nullptr);
    EXPECT_EQ(app->mainTabs()->count(), 4);
    EXPECT_TRUE(app->scuHardware().empty());
}

} // namespace
