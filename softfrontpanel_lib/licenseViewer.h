// The common shape of the licence dialogs: the whole text of a compiled-in licence file,
// unwrapped in a fixed-pitch font so that indented clauses and tables keep their columns.
#pragma once

#include <QDialog>

class QTextEdit;

class licenseViewer : public QDialog {
    Q_OBJECT
public:
    QTextEdit *textView() const { return m_text; }

protected:
    // resource: a ":/..." path; a missing one leaves the view empty rather than failing.
    licenseViewer(const QString &title, const QString &resource, QWidget *parent);

private:
    QTextEdit *m_text;
};
