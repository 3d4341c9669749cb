#include "legendTraces.h"

#include "chLabel.h"

void legendTraces::add(chLabel *entry) {
    m_entries.push_back(entry);
    connect(entry, &chLabel::traceChosen, this, [this, entry](int choice) { apply(entry, choice); });
}

void legendTraces::apply(chLabel *from, int choice) {
    if (choice == chLabel::ToggleTrace) {
        from->setTraceShown(!from->traceShown());
    } else {
        for (chLabel *entry : m_entries)
            entry->setTraceShown(choice == chLabel::AllTraces || entry == from);
    }
    emit changed();
}
