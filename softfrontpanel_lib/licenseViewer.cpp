#include "licenseViewer.h"

#include "kq7000fp_resources.h"

#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

licenseViewer::licenseViewer(const QString &title, const QString &resource, QWidget *parent)
    : QDialog(parent) {
    kq7000fp_resources::init();
    setWindowTitle(title);
    setModal(true);

    m_text = new QTextEdit(this);
    m_text->setObjectName("licenseText");
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QTextEdit::NoWrap);
    QFont courier("Courier");
    // Not every desktop has a font of that name; any fixed-pitch one keeps the layout.
    courier.setStyleHint(QFont::TypeWriter);
    m_text->setFont(courier);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double scale = screen ? screen->logicalDotsPerInchX() / 96.0 : 1.0;
    m_text->setMinimumSize(static_cast<int>(650 * scale), static_cast<int>(500 * scale));
    QFile file(resource);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        m_text->setPlainText(QString::fromUtf8(file.readAll()));

    auto *ok = new QPushButton("Ok", this);
    ok->setObjectName("okButton");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addStretch();
    layout->addLayout(buttons);
}
