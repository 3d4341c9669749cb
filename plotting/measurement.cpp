#include "measurement.h"

#include "blockMeasurement.h"
#include "kq7000fp_msgBox.h"
#include "measurementText.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <utility>

namespace {

const char *const title = "Movara 7150 Soft Front Panel";

// A run of failing calculations (every plot update while a bad signal is shown) reports only
// every other failure, so the user is not trapped behind one box per update. Shared by all
// windows: the boxes are the program's, not one window's.
bool failureReported = false;

// Reports a failure unless the previous calculation already did; returns whether it did.
bool reportFailure(QWidget *parent, const QString &text) {
    if (failureReported)
        return false;
    kq7000fp_msgBox::ask(QMessageBox::Critical, parent, title, text, QMessageBox::Ok);
    failureReported = true;
    return true;
}

int bitsBelow(uint16_t mask, int k) {
    return __builtin_popcount(mask & ((1u << k) - 1u));
}

uint16_t maskOf(const measurementInputs &in, int card) {
    return card >= 0 && card < int(in.masks.size()) ? in.masks[card] : 0;
}

} // namespace

measurement::measurement(QWidget *owner, std::function<measurementInputs()> inputs, int cards)
    : QWidget(owner), m_inputs(std::move(inputs)), m_scale(logicalDpiX() / 96.0) {
    m_model = new QStandardItemModel(channels, columns, this);
    for (int col = 0; col < columns; ++col)
        m_model->setHorizontalHeaderItem(col, new QStandardItem(measurementText::title(col)));
    for (int row = 0; row < channels; ++row)
        for (int col = 0; col < columns; ++col) {
            auto *item = new QStandardItem;
            item->setTextAlignment(Qt::AlignCenter);
            m_model->setItem(row, col, item);
        }

    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_explanation = new QLabel(this);
    m_explanation->setWordWrap(true);

    m_cardSelector = new QComboBox(this);
    for (int card = 1; card <= cards; ++card)
        m_cardSelector->addItem(QString("Function Card #%1").arg(card));

    m_copy = new QPushButton("Copy to Clipboard", this);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_explanation, 10);
    bottom->addStretch();
    bottom->addWidget(m_cardSelector);
    bottom->addWidget(m_copy);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 0);
    layout->addLayout(bottom);

    connect(m_cardSelector, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &measurement::recalculate);
    connect(m_copy, &QPushButton::clicked, this, &measurement::copyToClipboard);
}

int measurement::titleWidth(int column) const {
    const QString title = m_model->horizontalHeaderItem(column)->text();
    return m_table->horizontalHeader()->fontMetrics().horizontalAdvance(title) + int(16 * m_scale);
}

// Wide enough for every column title, so the window opens without cutting the table.
QSize measurement::sizeHint() const {
    int w = int(80 * m_scale) + m_table->verticalHeader()->sizeHint().width() + 2 * m_table->frameWidth();
    for (int col = 0; col < columns; ++col)
        w += titleWidth(col);
    return QSize(std::max(w, QWidget::sizeHint().width()), QWidget::sizeHint().height());
}

void measurement::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    // Every column is as wide as its title (a header cut to "mplitude (V" names nothing) and
    // shares what room is left; a narrow window scrolls the table instead.
    int titles = 0;
    for (int col = 0; col < columns; ++col)
        titles += titleWidth(col);
    const int spare = std::max(0, int(width() - 80 * m_scale) - titles) / columns;
    for (int col = 0; col < columns; ++col)
        m_table->setColumnWidth(col, titleWidth(col) + spare);
}

// Figures that cannot be true are still shown, greyed, with the reason in the tooltip.
void measurement::showRow(int row, const blockMeasurement::figures &v, double periods) {
    m_figures[row] = v;
    const QString doubt = QString::fromStdString(measurementText::doubt(v, periods));
    for (int col = 0; col < columns; ++col)
        setCell(row, col, QString::fromStdString(measurementText::cell(v, col)), doubt);
}

// A doubt greys the cell and says why in its tooltip; none gives the table's own look back.
void measurement::setCell(int row, int col, const QString &text, const QString &doubt) {
    QStandardItem *item = m_model->item(row, col);
    item->setText(text);
    item->setToolTip(doubt.isEmpty() ? QString() : "Implausible: " + doubt + ".");
    if (doubt.isEmpty())
        item->setData(QVariant(), Qt::ForegroundRole);
    else
        item->setForeground(QBrush(Qt::gray));
}

void measurement::recalculate() {
    const int c = m_cardSelector->currentIndex();
    const measurementInputs in = m_inputs();
    if (!in.optionsExist)
        return;

    const uint16_t mask = maskOf(in, c);
    m_rate = in.rate;
    m_scans = in.scans;
    const int N = in.scans;
    if (in.demo && N == 0)
        return;

    int firstBlock = 0;
    for (int card = 0; card < c; ++card)
        firstBlock += __builtin_popcount(maskOf(in, card));
    std::vector<int> enabled;
    blockMeasurement::input block;
    block.N = N;
    block.timeAxis = in.timeAxis;
    block.rate = in.rate;
    block.zeroPadding = in.zeroPadding;
    block.fitIterations = in.fitIterations;
    for (int k = 0; k < channels; ++k) {
        if (mask & (1u << k)) {
            enabled.push_back(k);
            if (in.view)
                block.blocks.push_back(in.view +
                                       std::size_t(firstBlock + bitsBelow(mask, k)) * std::size_t(N));
        } else {
            m_figures[k] = {};
            for (int col = 0; col < columns; ++col)
                setCell(k, col, "-", QString());
        }
    }

    blockMeasurement figures(block);
    bool relative = false;
    if (!figures.error().empty()) {
        reportFailure(this, QString::fromLocal8Bit(figures.error().c_str()));
    } else if (figures.measured() &&
               !(figures.failed() && reportFailure(this, "AC performance calculations failed"))) {
        failureReported = false;
        relative = true;
    }
    figures.phaseToMicroseconds(relative);
    for (std::size_t e = 0; e < enabled.size(); ++e)
        showRow(enabled[e], e < figures.rows().size() ? figures.rows()[e] : blockMeasurement::figures{},
                e < block.blocks.size() ? measurementText::periods(block.blocks[e], N) : 0.0);

    m_explanation->setText(
        QString(
            "The measurements are for the last <b>%1</b> scans (the plot view). The input signal should be a "
            "precise sine wave and be at least 3 periods in length. The signal frequency should be a "
            "multiple "
            "of the FFT resolution. If it is not, then it is recommended to enable FFT zero padding. "
            "Alternatively, you can also increase the frequency resolution and improve measurement accuracy "
            "by changing the plot length, or choose the 4-parameter sine fitting algorithm. The 7-Term "
            "Blackman-Harris window is always used for measurements. The user window selection only applies "
            "to plotting. The phase measurement is relative to the first enabled channel.")
            .arg(N));
}

void measurement::copyToClipboard() {
    const measurementInputs in = m_inputs();
    if (in.demo)
        return;
    const int c = m_cardSelector->currentIndex();
    const uint16_t mask = maskOf(in, c);

    std::string text =
        measurementText::heading(m_scans, in.rate) + "\n\n" + measurementText::columnLine() + "\n";
    for (int k = 0; k < channels; ++k) {
        if (!(mask & (1u << k)))
            continue;
        const std::size_t g = std::size_t(c) * channels + k;
        // This card has no filter setting of its own; the gain index stands in its column.
        const std::string gain = std::to_string(g < in.gainIndex.size() ? in.gainIndex[g] : 0);
        text += measurementText::channelLine(k + 1, gain, gain, m_figures[k]) + "\n";
    }
    QApplication::clipboard()->setText(QString::fromStdString(text));
}
