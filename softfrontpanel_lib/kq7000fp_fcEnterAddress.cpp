#include "kq7000fp_fcEnterAddress.h"

#include "kq7000fp_app.h"
#include "kq7000fp_fcEnterAddressFc.h"
#include "kq7000fp_genFC.h"
#include "kq7000fp_icons.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

const int kRows = 8;
const int kHistory = 5;
const char kFirstUseDescriptor[] = "TCPIP::192.168.2.100::INSTR";

const char kFileInFolder[] = "/Travix/DefaultInstrDescr.ini";

// Linux has no all-users profile folder. Without ALLUSERSPROFILE the file goes to /var/lib,
// where programs keep machine-wide state, so that every user of the machine is offered the
// same addresses. An empty value is treated as unset: it would put the folder at the root.
QString machineFilePath() {
    QString base = qEnvironmentVariable("ALLUSERSPROFILE");
    if (base.isEmpty())
        base = "/var/lib";
    return QDir::toNativeSeparators(base + kFileInFolder);
}

// Where a user who may not write the machine-wide file keeps the addresses ($XDG_DATA_HOME,
// usually ~/.local/share).
QString userFilePath() {
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                    kFileInFolder);
}

// Whether the file can be written: its folder made if missing, and the file or the folder
// open to this user.
bool canWrite(const QString &file) {
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    return QFileInfo::exists(file) ? QFileInfo(file).isWritable() : QFileInfo(folder).isWritable();
}

QString descriptorKey(int row, int position) {
    return QString("%1.%2.Descriptor").arg(row).arg(position);
}
QString numberKey(int row) {
    return QString("%1.FC_Number").arg(row);
}

// The file may have been edited by hand or by an older program: a value that is not a number
// in [low, high] must not select a card or a row count that does not exist.
int readBounded(const QSettings &settings, const QString &key, int low, int high, int fallback) {
    bool ok = false;
    const int value = settings.value(key, fallback).toInt(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}

} // namespace

kq7000fp_fcEnterAddress::kq7000fp_fcEnterAddress(const kq7000fp_genFC &descriptor, QWidget *parent)
    : QDialog(parent), m_modelText(QString::fromStdString(descriptor.modelText())),
      m_machinePath(machineFilePath()) {
    // Everybody's addresses where the machine lets this user write them, else the user's own.
    m_settingsPath = canWrite(m_machinePath) ? m_machinePath : userFilePath();
    const bool multiple = m_modelText == "7140" || m_modelText == "7150";
    setWindowTitle(
        "Movara " + m_modelText +
        (multiple ? " SFP: Enter Addresses of Function Cards" : " SFP: Enter Function Card Address"));
    setWindowIcon(kq7000fp_icons::window());

    m_count = new QComboBox(this);
    m_count->setObjectName("countChoice");
    for (int n = 1; n <= kRows; ++n)
        m_count->addItem(QString::number(n));

    auto *layout = new QVBoxLayout(this);
    for (int i = 0; i < (multiple ? kRows : 1); ++i) {
        m_rows[i] = new kq7000fp_fcEnterAddressFc(this);
        m_rows[i]->setObjectName(QString("row%1").arg(i + 1));
        layout->addWidget(m_rows[i]);
        layout->addSpacing(10);
    }

    auto *buttons = new QHBoxLayout;
    if (multiple) {
        buttons->addWidget(new QLabel("Count: ", this));
        buttons->addWidget(m_count);
    } else {
        // One card only: the count stays at 1 and is not offered.
        m_count->hide();
    }
    buttons->addStretch();
    auto *ok = new QPushButton("OK", this);
    auto *cancel = new QPushButton("Cancel", this);
    // Return in a descriptor field must not end the dialog before the card number is chosen.
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_count, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &kq7000fp_fcEnterAddress::countChanged);
    countChanged();
}

void kq7000fp_fcEnterAddress::countChanged() {
    const int counted = m_count->currentIndex() + 1;
    for (int i = 0; i < kRows; ++i)
        if (m_rows[i])
            m_rows[i]->setEnabled(i < counted);
    adjustSize();
}

void kq7000fp_fcEnterAddress::loadSavedDescriptors() {
    m_loaded = true;
    // Until this user saved addresses of their own, the machine's are offered.
    const bool own = m_settingsPath == m_machinePath || QFileInfo::exists(m_settingsPath);
    QSettings settings(own ? m_settingsPath : m_machinePath, QSettings::IniFormat);
    settings.beginGroup(m_modelText);
    for (int r = 1; r <= kRows && m_rows[r - 1]; ++r) {
        QComboBox *descriptor = m_rows[r - 1]->descriptorChoice();
        descriptor->clear();
        for (int k = 1; k <= kHistory; ++k) {
            const QString text = settings.value(descriptorKey(r, k)).toString();
            if (!text.isEmpty())
                descriptor->addItem(text);
            else if (r == 1 && k == 1)
                descriptor->addItem(kFirstUseDescriptor);
        }
        m_rows[r - 1]->cardNumberChoice()->setCurrentIndex(readBounded(settings, numberKey(r), 0, 8, 0));
    }
    const int count = readBounded(settings, "FC_Count", 1, kRows, 1);
    m_count->setCurrentIndex(count - 1);
}

void kq7000fp_fcEnterAddress::saveAndCollectDescriptors(QStringList &descriptors, QList<int> &numbers) {
    descriptors.clear();
    numbers.clear();
    const bool folderReady = QDir().mkpath(QFileInfo(m_settingsPath).absolutePath());

    QSettings settings(m_settingsPath, QSettings::IniFormat);
    settings.beginGroup(m_modelText);
    const int counted = m_count->currentIndex() + 1;
    for (int r = 1; r <= kRows && m_rows[r - 1]; ++r) {
        QComboBox *descriptor = m_rows[r - 1]->descriptorChoice();
        const QString current = descriptor->currentText();
        // What is used now comes first; an older entry picked again moves up instead of
        // appearing twice.
        QStringList history{current};
        for (int i = 0; i < descriptor->count(); ++i)
            history << descriptor->itemText(i);
        history.removeDuplicates();
        for (int k = 1; k <= kHistory; ++k)
            settings.setValue(descriptorKey(r, k), k <= history.size() ? history[k - 1] : QString());
        // The row offers what it saved, whether or not the file could take it.
        showHistory(descriptor, history.mid(0, kHistory));

        const int number = m_rows[r - 1]->cardNumberChoice()->currentIndex();
        settings.setValue(numberKey(r), number);
        if (r - 1 < counted) {
            descriptors << current;
            numbers << number;
        }
    }
    settings.setValue("FC_Count", counted);
    settings.endGroup();
    settings.sync();

    // A garbled old file reads with FormatError but is replaced by sync; only an access failure
    // means the entries are lost.
    const bool saved =
        folderReady && settings.status() != QSettings::AccessError && QFileInfo(m_settingsPath).isWritable();
    // The connection loop may save several times; saying it once is enough.
    if (!saved && !m_warnedUnsaved) {
        m_warnedUnsaved = true;
        kq7000fp_app::showWarningMessage(
            QString("Cannot save the entered addresses to\n%1\nThey are used now, "
                    "but will not be remembered next time.")
                .arg(m_settingsPath));
    } else if (saved && m_settingsPath != m_machinePath && !m_toldUserPath) {
        m_toldUserPath = true;
        kq7000fp_app::showInfoMessage(QString("The entered addresses are remembered for you only, in\n%1\n"
                                              "because %2 cannot be written.")
                                          .arg(m_settingsPath, m_machinePath));
    }
}

void kq7000fp_fcEnterAddress::showHistory(QComboBox *descriptor, const QStringList &history) {
    descriptor->clear();
    descriptor->addItems(history);
    descriptor->setCurrentIndex(0);
}
