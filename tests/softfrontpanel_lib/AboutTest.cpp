// The About dialog where the about_dialog workflow does not reach: a single page, and a
// plug-in's page with its own driver revision.
#include "kq7000fp_About.h"

#include "../support/WidgetTest.h"

namespace {

QString text(const QWidget &w, const char *name) {
    auto *l = w.findChild<QLabel *>(name);
    return l ? l->text() : QString("<missing %1>").arg(name);
}
// As the panel builds it, with the common library, Qwt and KISS FFT. Paging between two cards
// is the about_dialog workflow's; here one page has no page buttons, and a plug-in's page shows
// its own driver revision.
TEST(About, OnePageHasNoPageButtonsAndAPluginPageShowsItsOwnDriver) {
    kq7000fp_About dialog("4.3.9.13182", "5.1.2.0", "7150", "Notice line", nullptr, "3.2.0.417", "6.1.4",
                          true);
    dialog.show();
    const auto shown = [&](const char *name) { return !dialog.findChild<QPushButton *>(name)->isHidden(); };
    dialog.addHardwareInfo("71509481 (DEMO)", "1.0.1.0 (DEMO)", "7150-AA (DEMO)");
    EXPECT_FALSE(shown("nextButton") || shown("prevButton"));
    dialog.addHardwareInfo("00000002", "2.0", "SCU-1", "9.9.9", "");
    EXPECT_TRUE(shown("nextButton") && shown("prevButton"));
    dialog.next();
    EXPECT_EQ(std::tuple(text(dialog, "modelValue"), text(dialog, "driverValue"), text(dialog, "sfpValue")),
              std::tuple(QString("SCU-1"), QString("9.9.9"), QString("4.3.9.13182")));
    dialog.prev();
    EXPECT_EQ(text(dialog, "driverValue"), "5.1.2.0");
}

} // namespace
