#include "measurement.h"

#include "acperf.h"
#include "kq7000fp_msgBox.h"
#include "sineFit.h"

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
#include <cmath>
#include <exception>
#include <memory>

namespace {

const int decimals[measurement::columns] = {6, 6, 6, 3, 3, 2, 2, 2, 2, 2};
const char *const headers[measurement::columns] = {
    "Amplitude (V)", "Mean (V)",   "Vrms (V)", "Frequency (Hz)", "Phase (us)",
    "THD (dB)",      "SINAD (dB)", "SNR (dB)", "SFDR (dB)",      "ENOB"};
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

// The figures of one channel, in column order; the phase column holds the fitted phase (rad)
// until the cells are filled.
struct channelResult {
    double value[measurement::columns] = {};
};

} // namespace

measurement::measurement(QWidget *owner, std::function<measurementInputs()> inputs, int cards)
    : QWidget(owner), m_inputs(std::move(inputs)), m_scale(logicalDpiX() / 96.0) {
    m_model = new QStandardItemModel(channels, columns, this);
    for (int col = 0; col < columns; ++col)
        m_model->setHorizontalHeaderItem(col, new QStandardItem(headers[col]));
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

void measurement::setCell(int row, int column, double value) {
    m_model->item(row, column)->setText(QString::number(value, 'f', decimals[column]));
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

    channelResult results[channels];
    std::vector<int> enabled;
    int firstBlock = 0;
    for (int card = 0; card < c; ++card)
        firstBlock += __builtin_popcount(maskOf(in, card));
    std::vector<const double *> blocks;
    for (int k = 0; k < channels; ++k) {
        if (mask & (1u << k)) {
            enabled.push_back(k);
            if (in.view)
                blocks.push_back(in.view + std::size_t(firstBlock + bitsBelow(mask, k)) * std::size_t(N));
        } else {
            for (int col = 0; col < columns; ++col)
                m_model->item(k, col)->setText("-");
        }
    }

    double phaseReference = 0.0;
    if (N >= 10 && !enabled.empty() && in.view && in.timeAxis) {
        std::vector<double> t(N);
        for (int i = 0; i < N; ++i)
            t[i] = in.timeAxis[i] - in.timeAxis[0];
        const double relaxation = std::min(0.1, 100.0 / N);
        try {
            const auto analyses = analyseChannels(N, blocks, in.rate, in.zeroPadding);
            std::vector<sineFitData> fits;
            for (const double *samples : blocks)
                fits.emplace_back(N, 0.0, t.data(), samples);

            bool failed = false;
            for (std::size_t e = 0; e < enabled.size(); ++e) {
                double *v = results[enabled[e]].value;
                double frequency = analyses[e]->fundamentalFrequency();
                double amplitude = 0, offset = 0, phase = 0, rms = 0;
                if (!sineFit4(fits[e], unsigned(in.fitIterations), relaxation, frequency, amplitude, offset,
                              &phase, &rms)) {
                    failed = true;
                    continue;
                }
                v[0] = amplitude;
                v[1] = offset;
                v[2] = rms;
                v[3] = frequency;
                v[4] = phase;
                if (!analyses[e]->computeMetrics(&v[5], &v[6], &v[7], &v[8], &v[9])) {
                    std::fill(v + 5, v + columns, 0.0);
                    failed = true;
                }
            }
            if (!(failed && reportFailure(this, "AC performance calculations failed"))) {
                failureReported = false;
                phaseReference = results[enabled.front()].value[4];
            }
        } catch (const std::exception &e) {
            reportFailure(this, QString::fromLocal8Bit(e.what()));
        }
    }

    for (int k : enabled) {
        double *v = results[k].value;
        v[4] = v[3] > 0 ? (v[4] - phaseReference) / (2 * M_PI) / v[3] * 1e6 : 0.0;
        for (int col = 0; col < columns; ++col)
            setCell(k, col, v[col]);
    }

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

    QString text = QString("Number of scans: %1, scan rate: %2 Hz\n\n").arg(m_scans).arg(in.rate, 0, 'f', 3);
    text += "Channel, Gain, Filter (Hz), Amplitude (V), Mean (V), Vrms (V), Frequency (Hz), Phase (us), THD "
            "(dB), "
            "SINAD (dB), SNR (dB), SFDR (dB), ENOB\n";
    for (int k = 0; k < channels; ++k) {
        if (!(mask & (1u << k)))
            continue;
        const std::size_t g = std::size_t(c) * channels + k;
        // This card has no filter setting of its own; the gain index stands in its column.
        const int gain = g < in.gainIndex.size() ? in.gainIndex[g] : 0;
        QStringList fields{QString::number(k + 1), QString::number(gain), QString::number(gain)};
        for (int col = 0; col < columns; ++col)
            fields << QString::number(m_model->item(k, col)->text().toDouble(), 'f', decimals[col]);
        text += fields.join(',') + '\n';
    }
    QApplication::clipboard()->setText(text);
}
