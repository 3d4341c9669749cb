#include "WaveformControls.h"

#include "PlaybackControls.h"
#include "StatusLine.h"
#include "StorageFormat.h"
#include "StorageSummary.h"
#include "chLabel.h"
#include "legendTraces.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

constexpr int kChannels = 8;
// A backlog of more scans than this is shown in orange: the disk falls behind.
constexpr uint32_t kLargeBacklog = 16384;

const char kStatusTip[] =
    "<html>Shows the current stage of the Data Acquisition process and possible error codes. The overrange "
    "warning "
    "is latched when the signal exceeds +/-10V range and is reset when new acquisition is started.</html>";

void setTextColour(QLabel *label, const QColor &colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QColor rgb(uint32_t value) {
    return QColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

} // namespace

WaveformControls::WaveformControls(int cards, QWidget *parent) : QWidget(parent) {
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    buildLines(column);
    buildSlider(column);
    buildLegend(column, cards);
}

void WaveformControls::buildLines(QVBoxLayout *column) {
    m_status = new QLabel(this);
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);
    m_status->setToolTip(kStatusTip);
    m_status->setWhatsThis(kStatusTip);
    m_status->setTextFormat(Qt::RichText);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status, 1);
    m_cancelWait = new QPushButton("Cancel", this);
    m_cancelWait->setToolTip("Gives up the start at the PTP alarm time (Esc).");
    m_cancelWait->hide();
    statusRow->addWidget(m_cancelWait);
    column->addLayout(statusRow);
    m_fileSize = new QLabel(this);
    // Both lines start empty, and an empty label is shorter than one with text; with a line's
    // height from the start and the file-size line's room kept while hidden, the window does
    // not change size when an acquisition or storing starts.
    m_status->setMinimumHeight(QFontMetrics(bold).lineSpacing());
    m_fileSize->setMinimumHeight(m_fileSize->fontMetrics().lineSpacing());
    QSizePolicy keepRoom = m_fileSize->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    // A long file name in the storage summary is cut at the window's edge (the tooltip has it
    // whole) rather than widening the window.
    keepRoom.setHorizontalPolicy(QSizePolicy::Ignored);
    m_fileSize->setSizePolicy(keepRoom);
    m_fileSize->hide();
    column->addWidget(m_fileSize);
}

void WaveformControls::buildSlider(QVBoxLayout *column) {
    auto *sliderRow = new QHBoxLayout;
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(1);
    m_sliderLabel = new QLabel(this);
    m_playback = new PlaybackControls(this);
    sliderRow->addWidget(m_slider, 1);
    sliderRow->addWidget(m_sliderLabel);
    sliderRow->addWidget(m_playback);
    m_slider->hide();
    m_sliderLabel->hide();
    m_playback->hide();
    column->addLayout(sliderRow);
}

// The grid's headings get their text once the window knows its cards.
void WaveformControls::buildLegend(QVBoxLayout *column, int cards) {
    auto *legendRow = new QHBoxLayout;
    auto *traces = new legendTraces(parent());
    connect(traces, &legendTraces::changed, this, &WaveformControls::legendChanged);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    for (int c = 0; c < cards; ++c) {
        auto *heading = new QLabel(this);
        m_headings.push_back(heading);
        grid->addWidget(heading, c, 0);
        for (int k = 0; k < kChannels; ++k) {
            auto *label = new chLabel(c, k, this);
            m_labels.push_back(label);
            grid->addWidget(label, c, k + 1);
            connect(label, &chLabel::labMousePress, this, &WaveformControls::legendChanged);
            traces->add(label);
        }
    }
    // The symbol column beside it is taller than one card's row: the room left over goes below
    // the rows instead of stretching the channel boxes.
    grid->setRowStretch(cards, 1);
    legendRow->addLayout(grid);
    legendRow->addStretch();

    auto *symbolColumn = new QVBoxLayout;
    symbolColumn->addWidget(new QLabel("Symbols:", this));
    m_symbols = new QComboBox(this);
    m_symbols->setToolTip("Sets size of the sample symbols on the plot.");
    for (auto [text, size] : {std::pair{"None", 0}, {"Small", 2}, {"Medium", 4}, {"Large", 8}})
        m_symbols->addItem(text, size);
    symbolColumn->addWidget(m_symbols);
    symbolColumn->addStretch();
    legendRow->addLayout(symbolColumn);
    column->addLayout(legendRow);
}

void WaveformControls::showLine(const StatusLine &line) {
    m_status->setText(QString::fromStdString(line.html));
    setTextColour(m_status, rgb(line.rgb));
}

void WaveformControls::showWaiting(const QString &text) {
    setTextColour(m_status, QColor(Qt::darkYellow));
    if (!text.isNull())
        m_status->setText(text);
}

void WaveformControls::showFileSize(uint64_t bytes, uint32_t backlog) {
    m_fileSize->setText(QString("File size: %1, sample backlog: %2")
                            .arg(QString::fromStdString(StorageFormat::fileSizeText(bytes)))
                            .arg(backlog));
    setTextColour(m_fileSize, backlog > kLargeBacklog ? QColor(255, 128, 0) : QColor(Qt::black));
}

void WaveformControls::showSummary(const StorageSummary &summary) {
    m_fileSize->setText(QString::fromStdString(summary.text()));
    m_fileSize->setToolTip(QString::fromStdString(summary.fileName));
    setTextColour(m_fileSize, summary.failed() ? QColor(Qt::red) : QColor(Qt::black));
    m_fileSize->show();
}

void WaveformControls::clearLines(bool fileSizeShown) {
    m_status->clear();
    m_fileSize->clear();
    m_fileSize->setToolTip(QString());
    m_fileSize->setVisible(fileSizeShown);
}

void WaveformControls::showSlider() {
    m_status->hide();
    m_slider->show();
    m_sliderLabel->show();
    m_playback->show();
}
