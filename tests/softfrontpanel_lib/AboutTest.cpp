#include "../support/ScriptedBoxes.h"
#include "../support/SimWorldFiles.h"
#include "kissFFTLicense.h"
#include "kq7000fp_About.h"
#include "kq7000fp_AppFC.h"
#include "kq7150_fc.h"
#include "qtLicense.h"
#include "qwtLicense.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

QLabel *label(const QWidget &w, const char *name) {
    return w.findChild<QLabel *>(name);
}
QString text(const QWidget &w, const char *name) {
    QLabel *l = label(w, name);
    return l ? l->text() : QString("<missing %1>").arg(name);
}
QPushButton *button(const QWidget &w, const char *name) {
    return w.findChild<QPushButton *>(name);
}
int formRows(const QWidget &w, const char *group) {
    return static_cast<QFormLayout *>(w.findChild<QGroupBox *>(group)->layout())->rowCount();
}
// The label texts of the form rows, left column, in order.
QStringList formCaptions(const QWidget &w, const char *group) {
    auto *form = static_cast<QFormLayout *>(w.findChild<QGroupBox *>(group)->layout());
    QStringList captions;
    for (int r = 0; r < form->rowCount(); ++r)
        captions << static_cast<QLabel *>(form->itemAt(r, QFormLayout::LabelRole)->widget())->text();
    return captions;
}

std::unique_ptr<kq7000fp_About> about(const QString &common = "3.2.0.417", const QString &plot = "6.1.4",
                                      bool kiss = true) {
    return std::make_unique<kq7000fp_About>("4.3.9.13182", "5.1.2.0", "7150", "Notice line", nullptr, common,
                                            plot, kiss);
}

// The optional libraries and the common library appear only when the panel names them.
TEST(About, RowsFollowTheLibrariesThePanelNames) {
    const struct {
        QString common, plot;
        bool kiss;
        QStringList software;
        bool qwt;
    } rows[] = {
        {"3.2.0.417",
         "6.1.4",
         true,
         {"Movara Common Library:", "Instrument Driver:", "Soft Front Panel:"},
         true},
        {"", "", false, {"Instrument Driver:", "Soft Front Panel:"}, false},
        {"", "6.1.4", false, {"Instrument Driver:", "Soft Front Panel:"}, true},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(qPrintable(r.software.join(" ")));
        auto dialog = about(r.common, r.plot, r.kiss);
        EXPECT_EQ(formCaptions(*dialog, "softwareGroup"), r.software);
        EXPECT_EQ(label(*dialog, "commonLibraryValue") != nullptr, !r.common.isEmpty());
        if (!r.common.isEmpty()) {
            EXPECT_EQ(text(*dialog, "commonLibraryValue"), r.common);
        }
        EXPECT_EQ(label(*dialog, "qwtLicenseLink") != nullptr, r.qwt);
        EXPECT_EQ(label(*dialog, "kissFftLicenseLink") != nullptr, r.kiss);
        QStringList texts;
        for (QLabel *l : dialog->findChild<QGroupBox *>("licensesGroup")->findChildren<QLabel *>())
            texts << l->text();
        EXPECT_EQ(texts.contains("Qwt library version 6.1.4:"), r.qwt);
        EXPECT_EQ(texts.contains("KISS FFT library:"), r.kiss);
        EXPECT_TRUE(texts.contains(QString(" libraries version %1:").arg(qVersion())));
    }
}

class AboutPages : public ::testing::Test {
protected:
    void SetUp() override { dialog->show(); }
    bool shown(const char *name) { return !button(*dialog, name)->isHidden(); }
    bool enabled(const char *name) { return button(*dialog, name)->isEnabled(); }
    QStringList hardware() {
        return {text(*dialog, "modelValue"), text(*dialog, "revisionValue"), text(*dialog, "serialValue")};
    }
    void click(const char *name) { QTest::mouseClick(button(*dialog, name), Qt::LeftButton); }

    std::unique_ptr<kq7000fp_About> dialog = about();
};

TEST_F(AboutPages, OnePageFillsTheEmptyHardwareGroupWithoutPageButtons) {
    EXPECT_EQ(formRows(*dialog, "hardwareGroup"), 0);
    EXPECT_FALSE(shown("nextButton") || shown("prevButton"));
    dialog->addHardwareInfo("71509481 (DEMO)", "1.0.1.0 (DEMO)", "7150-AA (DEMO)");
    EXPECT_EQ(formCaptions(*dialog, "hardwareGroup"),
              QStringList({"Device Model:", "Revision:", "Serial Number:"}));
    EXPECT_EQ(hardware(), QStringList({"7150-AA (DEMO)", "1.0.1.0 (DEMO)", "71509481 (DEMO)"}));
    EXPECT_FALSE(shown("nextButton") || shown("prevButton"));
}

// A page with its own driver revision (a plug-in's) shows it and the panel's version it kept;
// paging back restores the revision of the first page.
TEST_F(AboutPages, TwoPagesAreWalkedWithNextAndPrevious) {
    dialog->addHardwareInfo("00000001", "1.0", "7150-BB");
    dialog->addHardwareInfo("00000002", "2.0", "SCU-1", "9.9.9", "");
    EXPECT_EQ(dialog->pageCount(), 2);
    EXPECT_TRUE(shown("nextButton") && shown("prevButton"));
    EXPECT_TRUE(enabled("nextButton"));
    EXPECT_FALSE(enabled("prevButton"));
    EXPECT_EQ(hardware(), QStringList({"7150-BB", "1.0", "00000001"}));

    click("nextButton");
    EXPECT_EQ(dialog->currentPage(), 1);
    EXPECT_FALSE(enabled("nextButton"));
    EXPECT_TRUE(enabled("prevButton"));
    EXPECT_EQ(hardware(), QStringList({"SCU-1", "2.0", "00000002"}));
    EXPECT_EQ(text(*dialog, "driverValue"), "9.9.9");
    EXPECT_EQ(text(*dialog, "sfpValue"), "4.3.9.13182");

    click("prevButton");
    EXPECT_FALSE(enabled("prevButton"));
    EXPECT_EQ(hardware().value(0), "7150-BB");
    EXPECT_EQ(text(*dialog, "driverValue"), "5.1.2.0");

    // The slots are public: calling them past either end must not leave the list of pages.
    dialog->prev();
    EXPECT_EQ(dialog->currentPage(), 0);
    dialog->next();
    dialog->next();
    EXPECT_EQ(hardware().value(0), "SCU-1");
    // A page added while the last is shown can be reached.
    dialog->addHardwareInfo("00000003", "3.0", "C");
    EXPECT_TRUE(enabled("nextButton"));
    click("nextButton");
    EXPECT_EQ(hardware().value(0), "C");
}

// Each link opens its viewer modally over the About dialog; the viewer closes with "Ok".
TEST(About, LicenceLinksOpenTheirViewersOverTheDialog) {
    auto dialog = about();
    dialog->show();
    const struct {
        const char *link, *title;
    } rows[] = {{"qtLicenseLink", "Qt LGPL License"},
                {"qwtLicenseLink", "Qwt LGPL License"},
                {"kissFftLicenseLink", "KISS FFT BSD License"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.link);
        QString title;
        QWidget *parent = nullptr;
        bool hasText = false;
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            title = modal->windowTitle();
            parent = modal->parentWidget();
            hasText = !modal->findChild<QTextEdit *>("licenseText")->toPlainText().isEmpty();
            QTest::mouseClick(modal->findChild<QPushButton *>("okButton"), Qt::LeftButton);
        });
        QTest::mouseClick(label(*dialog, r.link), Qt::LeftButton);
        EXPECT_EQ(title, r.title);
        EXPECT_EQ(parent, dialog.get());
        EXPECT_TRUE(hasText);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

// The texts come from the installed packages at build time; each must be the licence it names.
TEST(LicenceViewers, ShowTheirLicenceUnwrappedInAFixedPitchFont) {
    const struct {
        std::function<licenseViewer *()> make;
        const char *title;
        QStringList phrases;
    } rows[] = {
        {[] { return new kissFFTLicense; }, "KISS FFT BSD License", {"kissfft", "Redistribution and use"}},
        {[] { return new qtLicense; },
         "Qt LGPL License",
         {"GNU LESSER GENERAL PUBLIC LICENSE", "Version 3, 29 June 2007", "qtbase"}},
        {[] { return new qwtLicense; }, "Qwt LGPL License", {"Qwt License", "Version 2.1, February 1999"}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.title);
        std::unique_ptr<licenseViewer> viewer(r.make());
        EXPECT_EQ(viewer->windowTitle(), r.title);
        EXPECT_TRUE(viewer->isModal());
        QTextEdit *view = viewer->textView();
        EXPECT_TRUE(view->isReadOnly());
        EXPECT_EQ(view->lineWrapMode(), QTextEdit::NoWrap);
        EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());
        for (const QString &phrase : r.phrases)
            EXPECT_TRUE(view->toPlainText().contains(phrase)) << qPrintable(phrase);
    }
}

// The frame builds the dialog from its descriptor and the common library.
TEST(AboutInFrame, CommonLibraryRowIsLeftOutWhenTheLibraryCannotSay) {
    SimWorldFiles world;
    world.use(R"({"faults":[{"call":"kq7000_revision","status":"0xBFFF0011"}]})", "KQ7150_SIM_FAULTS");
    ScriptedBoxes boxes;
    kq7150_fc descriptor;
    auto f = std::make_unique<kq7000fp_AppFC>(descriptor, true, true, "6.1.4", true);
    auto *dialog = f->findChild<kq7000fp_About *>("aboutDialog");
    EXPECT_EQ(label(*dialog, "commonLibraryValue"), nullptr);
    EXPECT_EQ(formCaptions(*dialog, "softwareGroup"),
              QStringList({"Instrument Driver:", "Soft Front Panel:"}));
}

} // namespace
