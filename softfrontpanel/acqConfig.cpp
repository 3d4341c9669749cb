#include "acqConfig.h"

#include "OutputPath.h"
#include "StorageFormat.h"
#include "kq7000fp_msgBox.h"
#include "kq7150fp_App.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const char kOrganisation[] = "Travix Ltd.";
const char kApplication[] = "Movara 7150 Soft Front Panel";
const char kGroup[] = "DataStorage";
const char kBoxTitle[] = "Movara 7150 SFP";
const char kBinaryFilter[] = "Binary data (*.bin7150)";
const char kCsvFilter[] = "CSV data (*.csv)";
const char kFlacFilter[] = "FLAC recording (*.flac7150)";

// Named here rather than taken from the application object: the panel must find its remembered
// file whatever the program linking it called itself.
QSettings storageSettings() {
    return QSettings(kOrganisation, kApplication);
}

// USERPROFILE first: on Windows HOME is often unset or set by a Unix-like shell to another folder.
// An empty variable counts as unset, or the default would be at the root of the drive.
QString defaultFileName() {
    QString home = qEnvironmentVariable("USERPROFILE");
    if (home.isEmpty())
        home = qEnvironmentVariable("HOME");
    return QDir::toNativeSeparators(home + "/dump.bin7150");
}

QString extensionOf(int index) {
    return StorageFormat::extension(StorageFormat::fromChoice(index));
}

} // namespace

acqConfig::acqConfig(kq7150fp_App *parent) : QDialog(parent) {
    setWindowTitle("Continuous Acquisition Configuration");
    if (parent)
        setWindowIcon(parent->windowIcon());
    setModal(true);

    QSettings settings = storageSettings();
    settings.beginGroup(kGroup);
    const QString storedName = settings.value("FileName", defaultFileName()).toString();
    int storedFormat = settings.value("Format", 0).toInt();
    // A file written by a later version may name a format this one does not offer.
    if (storedFormat < 0 || storedFormat >= kFormatChoices)
        storedFormat = 0;
    const bool storedTimestamps = settings.value("Timestamps", false).toBool();

    m_path = new QLineEdit(storedName, this);
    m_path->setMinimumWidth(300);
    m_path->setToolTip("When the path is empty, the data is acquired but not stored to the hard drive.");
    m_browse = new QPushButton("Browse", this);
    // Return in the path field means "start", not "browse".
    m_browse->setAutoDefault(false);

    auto *formatLabel = new QLabel("Data Format", this);
    m_format = new QComboBox(this);
    // Item data: bytes per stored value, for the data rate.
    m_format->addItem("Binary, ViReal64", 8);
    m_format->addItem("Text, CSV (V)", 27);
    m_format->addItem("Text, CSV (mV)", 27);
    // Raw counts are not offered: the offline viewer refuses to open them.
    m_format->addItem("Binary, ViReal32", 4);
    // Counts of 24 bits before compression; what FLAC makes of them depends on the signal.
    m_format->addItem("FLAC, 24-bit counts (lossless)", 3);
    const QString formatHelp =
        "<html>Binary storage allows acquisition at higher data rates, but only ViReal64 provides the full "
        "resolution. Selecting ViReal32 means loss of 1 bit of resolution, but the data rate is 2x smaller. "
        "The text output (CSV format) is very slow and may only be used in case of small amount of channels "
        "and low data rates. FLAC stores the cards' 24-bit counts without loss and compressed, in a fifth to "
        "a "
        "tenth of the ViReal64 size for typical signals: one stream per card beside the .flac7150 "
        "description. "
        "The data rate shown is before compression.</html>";
    m_format->setToolTip(formatHelp);
    m_format->setWhatsThis(formatHelp);
    m_format->setCurrentIndex(storedFormat);
    m_timestamps = new QCheckBox("Store Timestamps", this);
    m_timestamps->setChecked(storedTimestamps);

    m_refreshLabel = new QLabel("Plot Refresh Interval", this);
    m_refresh = new QComboBox(this);
    const std::pair<const char *, int> intervals[] = {{"20 msec", 20},   {"50 msec", 50},   {"100 msec", 100},
                                                      {"200 msec", 200}, {"500 msec", 500}, {"1 sec", 1000},
                                                      {"2 sec", 2000}};
    for (const auto &[text, ms] : intervals)
        m_refresh->addItem(text, ms);
    m_refresh->setCurrentIndex(1);
    const QString refreshHelp =
        "The minimum time between plot refreshes. It may be longer if the data rate is small.";
    m_refresh->setToolTip(refreshHelp);
    m_refresh->setWhatsThis(refreshHelp);

    m_dataRate = new QLabel(this);

    m_start = new QPushButton("Start", this);
    m_start->setDefault(true);
    m_cancel = new QPushButton("Cancel", this);
    m_cancel->setAutoDefault(false);

    auto *grid = new QGridLayout;
    grid->addWidget(m_path, 0, 0, 1, 3);
    grid->addWidget(m_browse, 0, 3);
    grid->addWidget(formatLabel, 1, 0);
    grid->addWidget(m_format, 1, 1);
    grid->addWidget(m_timestamps, 1, 2, 1, 2);
    grid->addWidget(m_refreshLabel, 2, 0);
    grid->addWidget(m_refresh, 2, 1);
    grid->addWidget(m_dataRate, 3, 0, 1, 4);
    grid->setColumnStretch(2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    // A long path is read by widening the dialog; growing it downwards only adds space here.
    layout->addStretch();
    layout->addLayout(buttons);

    setSaveNameAsker(nullptr);

    connect(m_start, &QPushButton::clicked, this, &acqConfig::acceptMaybe);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_browse, &QPushButton::clicked, this, &acqConfig::browseSlot);
    connect(m_format, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        setDataRate();
        checkPath();
        offerTimestamps();
    });
    setDataRate();
    offerTimestamps();
}

void acqConfig::writeSettings(const QString &fileName, int format, bool timestamps) {
    QSettings settings = storageSettings();
    settings.beginGroup(kGroup);
    settings.setValue("FileName", fileName);
    settings.setValue("Format", format);
    settings.setValue("Timestamps", timestamps);
}

QString acqConfig::fileName() const {
    return m_path->text();
}

// The cards deliver 32-bit blocks without their scan times, so that format cannot store them.
void acqConfig::offerTimestamps() {
    m_timestamps->setEnabled(formatIndex() != Binary32);
}

bool acqConfig::storesTimestamps() const {
    return m_timestamps->isChecked() && formatIndex() != Binary32;
}

int acqConfig::formatIndex() const {
    return m_format->currentIndex();
}

int acqConfig::refreshMs() const {
    return m_refresh->currentData().toInt();
}

void acqConfig::showRefreshRow(bool show) {
    m_refreshLabel->setVisible(show);
    m_refresh->setVisible(show);
}

void acqConfig::setSaveNameAsker(SaveNameAsker asker) {
    m_askSaveName = orFileDialog(std::move(asker));
}

void acqConfig::setDataRate(int samplesPerSecond) {
    if (samplesPerSecond >= 0)
        m_valuesPerSecond = samplesPerSecond;
    const int bytesPerValue = m_format->currentData().toInt();
    const bool text = StorageFormat::isCsv(StorageFormat::fromChoice(formatIndex()));
    m_dataRate->setText(
        QString::fromStdString(StorageFormat::dataRateText(bytesPerValue, m_valuesPerSecond, text)));
}

bool acqConfig::checkPath(bool moreChecks) {
    // No name means the user only wants to watch the data.
    QString name = m_path->text();
    if (name.isEmpty())
        return true;

    if (moreChecks && !OutputPath::folderExists(name.toStdString())) {
        const QString folder =
            QDir::toNativeSeparators(QString::fromStdString(OutputPath::folder(name.toStdString())));
        kq7000fp_msgBox::ask(QMessageBox::Critical, this, kBoxTitle,
                             QString("Directory: \"%1\" does not exist.").arg(folder), QMessageBox::Ok);
        return false;
    }

    // The name must say what the file holds: the viewer opens .bin7150 and .flac7150 files,
    // spreadsheets .csv ones.
    const QString extension = extensionOf(formatIndex());
    const QString fitting = QString::fromStdString(
        OutputPath::withExtension(QDir::fromNativeSeparators(name).toStdString(), extension.toStdString()));
    if (fitting != QDir::fromNativeSeparators(name)) {
        name = QDir::toNativeSeparators(fitting);
        {
            // The correction is the dialog's own doing, not an edit of the user's.
            const QSignalBlocker quiet(m_path);
            m_path->setText(name);
        }
        if (moreChecks)
            kq7000fp_msgBox::ask(QMessageBox::Warning, this, kBoxTitle,
                                 QString("File extension changed to '.%1'.").arg(extension), QMessageBox::Ok);
    }

    if (moreChecks && QFileInfo::exists(name))
        return kq7000fp_msgBox::ask(QMessageBox::Question, this, kBoxTitle, "File already exists, overwrite?",
                                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    return true;
}

void acqConfig::acceptMaybe() {
    if (checkPath(true))
        accept();
    else
        reject();
}

void acqConfig::browseSlot() {
    const QString path = m_path->text();
    const QString suffix = QFileInfo(path).suffix().toLower();
    QString selected = suffix == "csv" ? kCsvFilter : suffix == "flac7150" ? kFlacFilter : kBinaryFilter;
    const QString chosen =
        m_askSaveName(this, "Set Output File Name", path,
                      QString(kBinaryFilter) + ";;" + kCsvFilter + ";;" + kFlacFilter, &selected);
    if (chosen.isEmpty())
        return;

    // A name of another kind of file brings that kind's first format.
    const QString extension = QFileInfo(chosen).suffix().toLower();
    if (extension != extensionOf(formatIndex())) {
        if (extension == "csv")
            m_format->setCurrentIndex(CsvVolts);
        else if (extension == "bin7150")
            m_format->setCurrentIndex(Binary64);
        else if (extension == "flac7150")
            m_format->setCurrentIndex(Flac);
    }
    m_path->setText(QDir::toNativeSeparators(chosen));
}
