// How the panel asks for the name of a file to write: the way QFileDialog::getSaveFileName does
// (parent, caption, start path, filters, and the selected filter: in, the one to preselect; out,
// the chosen), an empty string when the user cancels. Dialogs that ask take one of these so a
// test can answer in place of the file dialog.
#pragma once

#include <QFileDialog>

#include <functional>

using saveNameAsker = std::function<QString(QWidget *parent, const QString &caption, const QString &path,
                                            const QString &filters, QString *selectedFilter)>;

// The file dialog itself, for an empty asker.
inline saveNameAsker orFileDialog(saveNameAsker asker) {
    if (asker)
        return asker;
    return [](QWidget *parent, const QString &caption, const QString &path, const QString &filters,
              QString *selectedFilter) {
        return QFileDialog::getSaveFileName(parent, caption, path, filters, selectedFilter);
    };
}
