// The About dialog where the about_dialog workflow does not reach: a single page, a plug-in's
// page with its own driver revision, the Qwt and KISS FFT licence viewers, and the common
// library's row left out when the library cannot say its revision.
#include "../support/ScriptedBoxes.h"
#include "../support/SimWorldFiles.h"
#include "kq7000fp_About.h"
#include "kq7000fp_AppFC.h"
#include "kq7150_fc.h"

#include "../support/WidgetTest.h"

namespace {

QString text(const QWidget &w, const char *name) {
    auto *l = w.findChild<QLabel *>(name);
    return l ? l->text() : QString("<missing %1>").arg(name);
}
// The label texts of the form rows, left column, in order.
QStringList formCaptions(const QWidget &w, const char *group) {
    auto *form = static_cast<QFormLayout *>(w.findChild<QGroupBox *>(group)->layout());
    QStringList captions;
    for (int r = 0; r < form->rowCount(); ++r)
        captions << static_cast<QLabel *>(form->itemAt(r, QFormLayout::LabelRole)->widget())->text();
    return captions;
}
// As the panel builds it, with the common library, Qwt and KISS FFT. Paging between two cards
// and the Qt link are the about_dialog workflow's; here one page has no page buttons, a
// plug-in's page shows its own driver revision, and each other licence viewer is modal over
// the dialog, unwrapped, fixed pitch, read-only, shows the licence it names and closes with "Ok".
TEST(About, PagesAndLicenceViewers) {
    kq7000fp_About dialog("4.3.9.13182", "5.1.2.0", "7150", "Notice line", nullptr, "3.2.0.417", "6.1.4",
                          true);
    dialog.show();
    const auto shown = [&](const char *name) { return !dialog.findChild<QPushButton *>(name)->isHidden(); };
    dialog.addHardwareInfo("71509481 (DEMO)", "1.0.1.0 (DEMO)", "7150-AA (DEMO)");
    EXPECT_EQ(formCaptions(dialog, "hardwareGroup"),
              QStringList({"Device Model:", "Revision:", "Serial Number:"}));
    EXPECT_FALSE(shown("nextButton") || shown("prevButton"));
    dialog.addHardwareInfo("00000002", "2.0", "SCU-1", "9.9.9", "");
    EXPECT_TRUE(shown("nextButton") && shown("prevButton"));
    dialog.next();
    EXPECT_EQ(std::tuple(text(dialog, "modelValue"), text(dialog, "driverValue"), text(dialog, "sfpValue")),
              std::tuple(QString("SCU-1"), QString("9.9.9"), QString("4.3.9.13182")));
    dialog.prev();
    EXPECT_EQ(text(dialog, "driverValue"), "5.1.2.0");

    for (const auto &[link, title, phrase] : {std::tuple{"qwtLicenseLink", "Qwt LGPL License", "Qwt License"},
                                              {"kissFftLicenseLink", "KISS FFT BSD License", "kissfft"}}) {
        QString seen;
        bool plain = false;
        QTimer::singleShot(0, [&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                auto *view = modal->findChild<QTextEdit *>("licenseText");
                seen = modal->windowTitle() + "|" + view->toPlainText();
                plain = modal->parentWidget() == &dialog && view->isReadOnly() &&
                        view->lineWrapMode() == QTextEdit::NoWrap && QFontInfo(view->font()).fixedPitch();
                QTest::mouseClick(modal->findChild<QPushButton *>("okButton"), Qt::LeftButton);
            }
        });
        QTest::mouseClick(dialog.findChild<QLabel *>(link), Qt::LeftButton);
        EXPECT_TRUE(seen.startsWith(QString(title) + "|") && seen.contains(phrase) && plain) << link;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

// The frame builds the dialog from its descriptor and the common library.
TEST(About, CommonLibraryRowIsLeftOutWhenTheLibraryCannotSay) {
    SimWorldFiles world;
    world.use(R"({"faults":[{"call":"kq7000_revision","status":"0xBFFF0011"}]})", "KQ7150_SIM_FAULTS");
    ScriptedBoxes boxes;
    kq7150_fc descriptor;
    kq7000fp_AppFC frame(descriptor, true, true, "6.1.4", true);
    auto *dialog = frame.findChild<kq7000fp_About *>("aboutDialog");
    EXPECT_EQ(formCaptions(*dialog, "softwareGroup"),
              QStringList({"Instrument Driver:", "Soft Front Panel:"}));
}

} // namespace
