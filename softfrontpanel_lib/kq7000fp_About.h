// The About dialog of a function-card panel: what the panel is, the libraries it is built on
// with their licences, the software revisions, and the attached hardware page by page.
#pragma once

#include <QDialog>
#include <QString>

#include <vector>

class QFormLayout;
class QGroupBox;
class QLabel;
class QPushButton;

class kq7000fp_About : public QDialog {
    Q_OBJECT
public:
    // commonLibraryRevision and plotLibraryVersion may be empty: their rows are then left out.
    kq7000fp_About(const QString &sfpVersion, const QString &driverRevision, const QString &modelText,
                   const QString &notice, QWidget *parent, const QString &commonLibraryRevision = QString(),
                   const QString &plotLibraryVersion = QString(), bool usesKissFft = false);

    // An empty driverRevision or sfpVersion keeps what the dialog shows at the time of the
    // call, so a page of a card shares the panel's own revisions.
    void addHardwareInfo(const QString &serialNumber, const QString &revision, const QString &deviceModel,
                         const QString &driverRevision = QString(), const QString &sfpVersion = QString());

    int pageCount() const { return static_cast<int>(m_pages.size()); }
    int currentPage() const { return m_page; }

public slots:
    void next();
    void prev();

private slots:
    void showKissFFTLicense();
    void showQtLicense();
    void showQwtLicense();
    void openLicensesWebPage();

private:
    struct HardwarePage {
        QString driverRevision, sfpVersion, deviceModel, revision, serialNumber;
    };

    QGroupBox *buildLicenses(int h, const QString &plotLibraryVersion, bool usesKissFft);
    QGroupBox *buildSoftware(int h, const QString &sfpVersion, const QString &driverRevision,
                             const QString &commonLibraryRevision);
    QGroupBox *buildHardware(int h);
    QLayout *buildButtons();
    void showPage();

    int m_page = 0;
    QLabel *m_commonValue = nullptr;
    QLabel *m_driverValue = nullptr;
    QLabel *m_sfpValue = nullptr;
    QLabel *m_modelValue = nullptr;
    QLabel *m_revisionValue = nullptr;
    QLabel *m_serialValue = nullptr;
    QFormLayout *m_softwareForm = nullptr;
    QFormLayout *m_hardwareForm = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_prev = nullptr;
    std::vector<HardwarePage> m_pages;
};
