// Applies the trace choices of a legend's entries ("Hide Trace" / "Show Trace", "Show Only This
// Trace", "Show All Traces") to all entries of that legend, every card's, and tells the plot's
// owner once per choice to redraw.
#pragma once

#include <QObject>
#include <QVector>

class chLabel;

class legendTraces : public QObject {
    Q_OBJECT
public:
    explicit legendTraces(QObject *parent) : QObject(parent) {}

    // The entry must live as long as this object (both belong to the same legend).
    void add(chLabel *entry);

signals:
    void changed();

private:
    void apply(chLabel *from, int choice);

    QVector<chLabel *> m_entries;
};
