#include "plotSizeDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIcon>
#include <QSpinBox>
#include <QVBoxLayout>

plotSizeDialog::plotSizeDialog(const QSize &proposed, QWidget *parent) : QDialog(parent) {
    setWindowTitle("Plot Size");
    if (parent)
        setWindowIcon(parent->windowIcon());
    m_width = sideBox();
    m_height = sideBox();
    m_width->setValue(proposed.width());
    m_height->setValue(proposed.height());

    auto *form = new QFormLayout;
    form->addRow("Width:", m_width);
    form->addRow("Height:", m_height);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QSpinBox *plotSizeDialog::sideBox() {
    auto *box = new QSpinBox(this);
    box->setRange(kMinSide, kMaxSide);
    box->setSuffix(" px");
    box->setAccelerated(true);
    return box;
}

QSize plotSizeDialog::chosenSize() const {
    return QSize(m_width->value(), m_height->value());
}

bool plotSizeDialog::ask(QWidget *parent, QSize &size) {
    plotSizeDialog dialog(size, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    size = dialog.chosenSize();
    return true;
}
