#include "kq7000fp_About.h"

#include "clickableLabel.h"
#include "kissFFTLicense.h"
#include "kq7000fp_resources.h"
#include "qtLicense.h"
#include "qwtLicense.h"

#include <QDesktopServices>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The maker's site is not part of this repository; a reserved name keeps the link from ever
// leading to somebody else's server until the real host is filled in.
const char kMakerSite[] = "https://www.travix.example";

QLabel *valueLabel(const QString &text, const char *name, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    // Revisions and serial numbers are what users copy into support requests.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

clickableLabel *link(const QString &text, const char *name, QWidget *parent) {
    auto *label = new clickableLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

kq7000fp_About::kq7000fp_About(const QString &sfpVersion, const QString &driverRevision,
                               const QString &modelText, const QString &notice, QWidget *parent,
                               const QString &commonLibraryRevision, const QString &plotLibraryVersion,
                               bool usesKissFft)
    : QDialog(parent) {
    kq7000fp_resources::init();
    const int h = fontMetrics().height();
    setWindowTitle(tr("About Movara %1 Soft Front Panel").arg(modelText));
    setMinimumSize(380, 300);
    resize(380, 300);

    auto *main = new QVBoxLayout(this);
    main->setSizeConstraint(QLayout::SetFixedSize);
    auto *title = new QLabel(QString("<font size='5'><b>Movara %1 VXIplug&amp;play Driver<br>"
                                     "Soft Front Panel Application</b></font>")
                                 .arg(modelText),
                             this);
    title->setObjectName("aboutTitle");
    title->setAlignment(Qt::AlignCenter);
    main->addWidget(title);
    auto *noticeLabel = new QLabel(notice, this);
    noticeLabel->setObjectName("aboutNotice");
    noticeLabel->setAlignment(Qt::AlignCenter);
    main->addWidget(noticeLabel);
    main->addSpacing(h);

    auto *row = new QHBoxLayout;
    auto *logo = new QLabel(this);
    logo->setPixmap(QPixmap(":/travix-logo.bmp"));
    logo->setStyleSheet("QLabel {background-color:#1A2C5E}");
    logo->setContentsMargins(10, 10, 10, 10);
    row->addWidget(logo, 0, Qt::AlignTop);
    auto *column = new QVBoxLayout;
    column->addWidget(buildLicenses(h, plotLibraryVersion, usesKissFft));
    column->addWidget(buildSoftware(h, sfpVersion, driverRevision, commonLibraryRevision));
    column->addWidget(buildHardware(h));
    column->addLayout(buildButtons());
    row->addLayout(column);
    main->addLayout(row);
}

QGroupBox *kq7000fp_About::buildLicenses(int h, const QString &plotLibraryVersion, bool usesKissFft) {
    auto *group = new QGroupBox("Third-Party Licenses", this);
    group->setObjectName("licensesGroup");
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(h);
    grid->setContentsMargins(h, h, h, h);
    int row = 0;

    // "Qt" and its version read as one phrase, so they share a cell without a gap.
    auto *qtName = new QHBoxLayout;
    qtName->setSpacing(0);
    auto *qtLink = link("Qt", "aboutQtLink", group);
    connect(qtLink, &clickableLabel::clicked, this, [this] { QMessageBox::aboutQt(this); });
    qtName->addWidget(qtLink);
    qtName->addWidget(new QLabel(QString(" libraries version %1:").arg(qVersion()), group));
    qtName->addStretch();
    grid->addLayout(qtName, row, 0, 1, 2);
    auto *qtLicenseLink = link(qtLicense::runsOnQt4() ? "LGPL v2.1" : "LGPL v3", "qtLicenseLink", group);
    connect(qtLicenseLink, &clickableLabel::clicked, this, &kq7000fp_About::showQtLicense);
    grid->addWidget(qtLicenseLink, row++, 2);

    if (!plotLibraryVersion.isEmpty()) {
        grid->addWidget(new QLabel(QString("Qwt library version %1:").arg(plotLibraryVersion), group), row, 0,
                        1, 2);
        auto *qwtLink = link("LGPL v2.1", "qwtLicenseLink", group);
        connect(qwtLink, &clickableLabel::clicked, this, &kq7000fp_About::showQwtLicense);
        grid->addWidget(qwtLink, row++, 2);
    }
    if (usesKissFft) {
        grid->addWidget(new QLabel("KISS FFT library:", group), row, 0, 1, 2);
        auto *kissLink = link("BSD", "kissFftLicenseLink", group);
        connect(kissLink, &clickableLabel::clicked, this, &kq7000fp_About::showKissFFTLicense);
        grid->addWidget(kissLink, row++, 2);
    }
    auto *more = link("Learn more about licenses", "licensesPageLink", group);
    connect(more, &clickableLabel::clicked, this, &kq7000fp_About::openLicensesWebPage);
    grid->addWidget(more, row, 0, 1, 3);
    return group;
}

QGroupBox *kq7000fp_About::buildSoftware(int h, const QString &sfpVersion, const QString &driverRevision,
                                         const QString &commonLibraryRevision) {
    auto *group = new QGroupBox("Software Revisions", this);
    group->setObjectName("softwareGroup");
    m_softwareForm = new QFormLayout(group);
    m_softwareForm->setSpacing(h);
    m_softwareForm->setContentsMargins(h, h, h, h);
    if (!commonLibraryRevision.isEmpty()) {
        m_commonValue = valueLabel(commonLibraryRevision, "commonLibraryValue", group);
        m_softwareForm->addRow("Movara Common Library:", m_commonValue);
    }
    m_driverValue = valueLabel(driverRevision, "driverValue", group);
    m_softwareForm->addRow("Instrument Driver:", m_driverValue);
    m_sfpValue = valueLabel(sfpVersion, "sfpValue", group);
    m_softwareForm->addRow("Soft Front Panel:", m_sfpValue);
    return group;
}

QGroupBox *kq7000fp_About::buildHardware(int h) {
    auto *group = new QGroupBox("Hardware Information", this);
    group->setObjectName("hardwareGroup");
    m_hardwareForm = new QFormLayout(group);
    m_hardwareForm->setSpacing(h);
    m_hardwareForm->setContentsMargins(h, h, h, h);
    return group;
}

QLayout *kq7000fp_About::buildButtons() {
    auto *row = new QHBoxLayout;
    m_prev = new QPushButton("< Previous", this);
    m_prev->setObjectName("prevButton");
    m_next = new QPushButton("Next >", this);
    m_next->setObjectName("nextButton");
    auto *ok = new QPushButton("OK", this);
    ok->setObjectName("okButton");
    for (QPushButton *b : {m_prev, m_next, ok})
        b->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    m_prev->setEnabled(false);
    m_prev->hide();
    m_next->hide();
    connect(m_prev, &QPushButton::clicked, this, &kq7000fp_About::prev);
    connect(m_next, &QPushButton::clicked, this, &kq7000fp_About::next);
    connect(ok, &QPushButton::clicked, this, &QWidget::hide);
    row->addWidget(m_prev);
    row->addWidget(m_next);
    row->addStretch();
    row->addWidget(ok);
    return row;
}

void kq7000fp_About::addHardwareInfo(const QString &serialNumber, const QString &revision,
                                     const QString &deviceModel, const QString &driverRevision,
                                     const QString &sfpVersion) {
    if (m_pages.empty()) {
        QWidget *group = m_hardwareForm->parentWidget();
        m_modelValue = valueLabel(deviceModel, "modelValue", group);
        m_revisionValue = valueLabel(revision, "revisionValue", group);
        m_serialValue = valueLabel(serialNumber, "serialValue", group);
        m_hardwareForm->addRow("Device Model:", m_modelValue);
        m_hardwareForm->addRow("Revision:", m_revisionValue);
        m_hardwareForm->addRow("Serial Number:", m_serialValue);
    } else if (m_pages.size() == 1) {
        m_next->show();
        m_prev->show();
    }
    m_pages.push_back({driverRevision.isEmpty() ? m_driverValue->text() : driverRevision,
                       sfpVersion.isEmpty() ? m_sfpValue->text() : sfpVersion, deviceModel, revision,
                       serialNumber});
    // A page added while the last one is shown must still be reachable.
    m_next->setEnabled(m_page + 1 < pageCount());
}

void kq7000fp_About::next() {
    // The button is disabled on the last page, but the slot is public.
    if (m_page + 1 >= pageCount())
        return;
    ++m_page;
    if (m_page == pageCount() - 1)
        m_next->setEnabled(false);
    m_prev->setEnabled(true);
    showPage();
}

void kq7000fp_About::prev() {
    if (m_page <= 0)
        return;
    --m_page;
    if (m_page == 0)
        m_prev->setEnabled(false);
    m_next->setEnabled(true);
    showPage();
}

void kq7000fp_About::showPage() {
    const HardwarePage &page = m_pages[static_cast<size_t>(m_page)];
    if (!page.driverRevision.isEmpty())
        m_driverValue->setText(page.driverRevision);
    if (!page.sfpVersion.isEmpty())
        m_sfpValue->setText(page.sfpVersion);
    m_modelValue->setText(page.deviceModel);
    m_revisionValue->setText(page.revision);
    m_serialValue->setText(page.serialNumber);
}

void kq7000fp_About::showKissFFTLicense() {
    kissFFTLicense viewer(this);
    viewer.exec();
}

void kq7000fp_About::showQtLicense() {
    qtLicense viewer(this);
    viewer.exec();
}

void kq7000fp_About::showQwtLicense() {
    qwtLicense viewer(this);
    viewer.exec();
}

void kq7000fp_About::openLicensesWebPage() {
    QDesktopServices::openUrl(QUrl(QString(kMakerSite) + "/about/third-party-license-usage/"));
}
