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
#include <memory>
#include <string>
#include <utility>

namespace {

const char *const title = "Movara 7150 Soft Front Panel";

// A run of failing calculations (every plot update while a bad signal is shown) reports only
// every other failure, so the user is not trapped behind one box per update. Shared by all
// windows: the boxes are the program's, not one window's.
bool failureReported = false;

// The failure to report of this calculation: none when the previous one reported already.
// Marked reported at once, so a calculation shown while the box is open does not ask again.
QString takeFailure(const QString &text) {
    if (failureReported)
        return QString();
    failureReported = true;
    return text;
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

// One card's blocks, copied out of the owner's view so the owner may take the next block
// while they are measured on the runner's thread.
struct measurement::calculation {
    int card = 0;
    uint16_t mask = 0;
    blockMeasurement::input in;
    std::vector<double> samples; // in.N per enabled channel
    std::vector<double> time;
    std::unique_ptr<blockMeasurement> figures;
    std::vector<double> periods; // of each enabled channel's signal in the record

    void compute() {
        for (std::size_t at = 0; in.N > 0 && at < samples.size(); at += std::size_t(in.N))
            in.blocks.push_back(samples.data() + at);
        in.timeAxis = time.empty() ? nullptr : time.data();
        figures = std::make_unique<blockMeasurement>(in);
        for (const double *block : in.blocks)
            periods.push_back(measurementText::periods(block, in.N));
    }
};

void measurement::recalculate() {
    const measurementInputs in = m_inputs();
    if (!in.optionsExist || (in.demo && in.scans == 0))
        return;

    auto job = std::make_shared<calculation>();
    job->card = m_cardSelector->currentIndex();
    job->mask = maskOf(in, job->card);
    job->in.N = in.scans;
    job->in.rate = in.rate;
    job->in.zeroPadding = in.zeroPadding;
    job->in.fitIterations = in.fitIterations;
    int firstBlock = 0;
    for (int card = 0; card < job->card; ++card)
        firstBlock += __builtin_popcount(maskOf(in, card));
    const std::size_t N = std::size_t(std::max(in.scans, 0));
    if (in.view)
        for (int k = 0; k < channels; ++k)
            if (job->mask & (1u << k)) {
                const double *block = in.view + std::size_t(firstBlock + bitsBelow(job->mask, k)) * N;
                job->samples.insert(job->samples.end(), block, block + N);
            }
    if (in.timeAxis)
        job->time.assign(in.timeAxis, in.timeAxis + N);

    m_analysis.start(job, [this](calculation &done) { show(done); });
}

void measurement::show(calculation &done) {
    // Figures of a card no longer selected: the calculation for the selected one follows.
    if (done.card != m_cardSelector->currentIndex())
        return;
    blockMeasurement &figures = *done.figures;
    // Whether this run's failure is reported is settled before the table is filled; the box
    // comes last, so figures of later blocks shown while it is open are not overwritten.
    QString failure;
    bool relative = false;
    if (!figures.error().empty()) {
        failure = takeFailure(QString::fromLocal8Bit(figures.error().c_str()));
    } else if (figures.measured()) {
        // A failure the previous run reported already passes, and clears the mark like a success.
        if (figures.failed())
            failure = takeFailure("AC performance calculations failed");
        relative = failure.isEmpty();
        if (relative)
            failureReported = false;
    }
    figures.phaseToMicroseconds(relative);

    m_rate = done.in.rate;
    m_scans = done.in.N;
    for (int k = 0, e = 0; k < channels; ++k) {
        if (!(done.mask & (1u << k))) {
            m_figures[k] = {};
            for (int col = 0; col < columns; ++col)
                setCell(k, col, "-", QString());
            continue;
        }
        showRow(k, std::size_t(e) < figures.rows().size() ? figures.rows()[e] : blockMeasurement::figures{},
                std::size_t(e) < done.periods.size() ? done.periods[e] : 0.0);
        ++e;
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
            .arg(done.in.N));
    if (!failure.isEmpty())
        kq7000fp_msgBox::ask(QMessageBox::Critical, this, title, failure, QMessageBox::Ok);
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
