#include "cursorReadoutView.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

cursorReadoutView::cursorReadoutView(QWidget *parent) : QWidget(parent) {
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    m_times = new QLabel(this);
    m_times->setObjectName("cursorTimes");
    m_times->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_times);

    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName("cursorValues");
    m_table->setHorizontalHeaderLabels({"Channel", "At t1", "At t2", "Difference (t2 - t1)"});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    const int rowHeight = m_table->verticalHeader()->defaultSectionSize();
    m_table->setFixedHeight(m_table->horizontalHeader()->sizeHint().height() + kRowsSeen * rowHeight +
                            2 * m_table->frameWidth());
    column->addWidget(m_table);
    setToolTip(
        "Drag a cursor with the mouse, or Ctrl + left click (cursor 1) and Ctrl + right click (cursor 2) "
        "on the plot. View > Cursors (Ctrl+K) turns them off.");
}

void cursorReadoutView::show(const CursorReadout &readout) {
    m_times->setText(QString::fromStdString(readout.timeLine()));
    m_table->setRowCount(static_cast<int>(readout.channels.size()));
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const auto cells = readout.row(readout.channels[r]);
        for (int c = 0; c < 4; ++c) {
            // Rows stay from block to block: only their texts change.
            QTableWidgetItem *item = m_table->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                              : Qt::AlignRight | Qt::AlignVCenter);
                m_table->setItem(r, c, item);
            }
            item->setText(QString::fromStdString(cells[c]));
        }
    }
}
