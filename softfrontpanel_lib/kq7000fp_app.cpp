#include "kq7000fp_app.h"

#include "kq7000fp_icons.h"
#include "kq7000fp_led.h"
#include "kq7000fp_msgBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {

QString &titleTextStore() {
    static QString text;
    return text;
}

const char kStartContTip[] = "<html>Starts the repetitive data acquisition (or continuous data acquisition, "
                             "when file storage option is turned on)</html>";

void setTips(QWidget *w, const QString &text) {
    w->setToolTip(text);
    w->setWhatsThis(text);
}

// The key is handled by the panel's window; the start buttons are where a person looks for it.
QString withSpaceNote(const QString &tip) {
    const QString note = "Space starts and stops the repetitive acquisition.";
    if (tip.endsWith("</html>"))
        return tip.chopped(7) + "<br>" + note + "</html>";
    return tip + "\n" + note;
}

QPushButton *iconButton(const QIcon &icon, const char *name, QWidget *parent) {
    auto *b = new QPushButton(parent);
    b->setIcon(icon);
    b->setObjectName(name);
    return b;
}

} // namespace

kq7000fp_app::kq7000fp_app(QWidget *parent) : QWidget(parent) {
    initResources();
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    const int h = fontMetrics().height();

    auto *main = new QVBoxLayout;
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(h);
    main->addLayout(buildBanner());

    auto *body = new QHBoxLayout;
    body->setSpacing(h);
    body->setContentsMargins(h / 2, 0, 0, h / 2);
    m_content = new QWidget(this);
    m_content->setObjectName("content");
    body->addWidget(m_content, 1);
    m_controlColumn = new QVBoxLayout;
    m_controlColumn->setSpacing(h / 2);
    m_controlColumn->setContentsMargins(0, 0, h / 2, h / 2);
    body->addLayout(m_controlColumn);
    main->addLayout(body);

    setWindowIcon(kq7000fp_icons::window());
    buildControlColumn(h);
    setContentLayout(main);
    m_layoutReady = true;
    main->setSizeConstraint(QLayout::SetMinimumSize);
    centerOnScreen(this);
}

QLayout *kq7000fp_app::buildBanner() {
    auto *row = new QHBoxLayout;
    row->setSpacing(0);
    auto *logo = new QLabel(this);
    logo->setPixmap(QPixmap(":/travix-logo.bmp"));
    row->addWidget(logo);
    m_banner = new QLabel(this);
    m_banner->setObjectName("banner");
    m_banner->setStyleSheet("QLabel { background-color: #1a2c5e; color: #ffffff; font: bold 20px}");
    m_banner->setAlignment(Qt::AlignCenter);
    m_banner->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    row->addWidget(m_banner);
    m_carrierLogo = new QLabel(this);
    m_carrierLogo->setObjectName("carrierLogo");
    m_carrierLogo->setPixmap(QPixmap(":/vxi-logo.bmp"));
    row->addWidget(m_carrierLogo);
    return row;
}

QWidget *kq7000fp_app::buildStatusGroup(int h) {
    auto *group = new QGroupBox(this);
    auto *layout = new QVBoxLayout(group);
    layout->setSpacing(h);
    m_activeLed = new kq7000fp_led("Active", QColor(Qt::green), QColor(Qt::magenta), group);
    m_activeLed->setObjectName("activeLed");
    m_activeLed->setWhatsThis("Green light means that the Soft Front Panel works\nin Real (not Demo) mode.");
    layout->addWidget(m_activeLed);
    m_carrierInfo = new QLabel(group);
    m_carrierInfo->setObjectName("carrierInfo");
    m_carrierInfo->hide();
    layout->addWidget(m_carrierInfo);
    m_cardInfo = new QLabel(group);
    m_cardInfo->setObjectName("cardInfo");
    m_cardInfo->hide();
    layout->addWidget(m_cardInfo);
    return group;
}

void kq7000fp_app::buildControlColumn(int h) {
    QVBoxLayout *col = m_controlColumn;
    col->addWidget(buildStatusGroup(h));

    col->addStretch();
    m_autoscaleCaption = new QLabel("Autoscale", this);
    m_autoscaleCaption->setAlignment(Qt::AlignCenter);
    m_autoscaleButton = new QPushButton("ON", this);
    m_autoscaleButton->setObjectName("autoscaleButton");
    m_autoscaleButton->setCheckable(true);
    m_autoscaleButton->setChecked(true);
    setTips(m_autoscaleButton, "Enables/disables plot autorescale feature");
    col->addWidget(m_autoscaleCaption);
    col->addWidget(m_autoscaleButton);
    m_autoscaleCaption->hide();
    m_autoscaleButton->hide();
    connect(m_autoscaleButton, &QPushButton::toggled, this, &kq7000fp_app::autoscaleToggledSlot);

    col->addStretch();
    m_identifyCaption = new QLabel("Identify", this);
    m_identifyCaption->setAlignment(Qt::AlignCenter);
    m_identifyButton = new QPushButton("OFF", this);
    m_identifyButton->setObjectName("identifyButton");
    m_identifyButton->setCheckable(true);
    setTips(m_identifyButton, "Enables/disables visual identification mechanism");
    col->addWidget(m_identifyCaption);
    col->addWidget(m_identifyButton);
    m_identifyCaption->hide();
    m_identifyButton->hide();
    connect(m_identifyButton, &QPushButton::toggled, this, &kq7000fp_app::identToggledSlot);

    col->addStretch();
    m_singleButton = iconButton(kq7000fp_icons::startSingle(), "singleShotButton", this);
    m_singleButton->setCheckable(true);
    setTips(m_singleButton, withSpaceNote("Starts the single-shot data acquisition"));
    m_repetitiveButton = iconButton(kq7000fp_icons::startRepetitive(), "repetitiveButton", this);
    m_repetitiveButton->setCheckable(true);
    setTips(m_repetitiveButton, withSpaceNote(kStartContTip));
    col->addWidget(m_singleButton);
    col->addWidget(m_repetitiveButton);
    m_singleButton->hide();
    m_repetitiveButton->hide();
    connect(m_singleButton, &QPushButton::toggled, this, &kq7000fp_app::startToggledSlot);
    connect(m_repetitiveButton, &QPushButton::toggled, this, &kq7000fp_app::startContToggledSlot);

    col->addStretch();
    m_resetButton = new QPushButton("Reset Device", this);
    m_resetButton->setObjectName("resetButton");
    setTips(m_resetButton, "Reset the device to the default state");
    col->addWidget(m_resetButton);
    connect(m_resetButton, &QPushButton::clicked, this, &kq7000fp_app::resetPressed);

    col->addStretch();
    m_whatsThisButton = iconButton(kq7000fp_icons::whatsThis(), "whatsThisButton", this);
    m_whatsThisButton->setIconSize(kq7000fp_icons::whatsThisSize());
    m_whatsThisButton->setWhatsThis("Show on-line help for Instrument Soft Front Panel components");
    connect(m_whatsThisButton, &QPushButton::clicked, this, &kq7000fp_app::enterWIT);
    m_aboutButton = new QPushButton("About", this);
    m_aboutButton->setObjectName("aboutButton");
    m_aboutButton->setWhatsThis("Displays \"About\" panel");
    m_closeButton = new QPushButton("Close", this);
    m_closeButton->setObjectName("closeButton");
    m_closeButton->setWhatsThis("Close main panel and terminates program");
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    col->addWidget(m_whatsThisButton);
    col->addWidget(m_aboutButton);
    col->addWidget(m_closeButton);
}

void kq7000fp_app::setContentLayout(QLayout *layout) {
    if (m_layoutReady)
        m_content->setLayout(layout);
    else
        setLayout(layout);
}

void kq7000fp_app::setBannerText(const QString &text) {
    m_banner->setText(text);
}

void kq7000fp_app::showLxiLogo(bool isLxi) {
    if (isLxi)
        m_carrierLogo->setPixmap(QPixmap(":/lxi-logo.bmp"));
}

static void setInfo(QLabel *label, const QString &text, const QString &whatsThis) {
    label->setText(text);
    label->setVisible(!text.isEmpty());
    if (!whatsThis.isEmpty())
        label->setWhatsThis(whatsThis);
}

void kq7000fp_app::setCarrierInfo(const QString &text, const QString &whatsThis) {
    setInfo(m_carrierInfo, text, whatsThis);
}

void kq7000fp_app::setCardInfo(const QString &text, const QString &whatsThis) {
    setInfo(m_cardInfo, text, whatsThis);
}

void kq7000fp_app::setDemoMode(bool demo) {
    m_activeLed->setValue(demo ? 0 : 1);
}

void kq7000fp_app::showAutoscale(bool show) {
    m_autoscaleCaption->setVisible(show);
    m_autoscaleButton->setVisible(show);
    if (show)
        resize(800, 600);
}

void kq7000fp_app::showIdentify(bool show) {
    m_identifyCaption->setVisible(show);
    m_identifyButton->setVisible(show);
}

void kq7000fp_app::showStartButtons(bool show) {
    m_singleButton->setVisible(show);
    m_repetitiveButton->setVisible(show);
}

void kq7000fp_app::centerOnScreen(QWidget *widget) {
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !widget)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = widget->frameGeometry().size();
    widget->move(area.x() + std::max(0, (area.width() - size.width()) / 2),
                 area.y() + std::max(0, (area.height() - size.height()) / 2));
}

int kq7000fp_app::titleBarHeight() const {
    if (isVisible() && frameGeometry().height() > height())
        return frameGeometry().height() - height();
    return style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
}

void kq7000fp_app::showAndDraw(QWidget *widget) {
    widget->show();
    QElapsedTimer waited;
    waited.start();
    // Bounded: a window system that never reports the window must not hang the program.
    while (!(widget->windowHandle() && widget->windowHandle()->isExposed()) && waited.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    widget->repaint();
    QCoreApplication::processEvents();
}

QString kq7000fp_app::titleText() {
    return titleTextStore();
}

void kq7000fp_app::setTitleText(const QString &text) {
    titleTextStore() = text;
}

void kq7000fp_app::showInfoMessage(const QString &text) {
    kq7000fp_msgBox::ask(QMessageBox::Information, QApplication::activeWindow(),
                         "Movara " + titleText() + " SFP Info message", text, QMessageBox::Ok);
}

void kq7000fp_app::showWarningMessage(const QString &text) {
    kq7000fp_msgBox::ask(QMessageBox::Warning, QApplication::activeWindow(),
                         "Movara " + titleText() + " SFP Warning message", text, QMessageBox::Ok);
}

void kq7000fp_app::showErrorMessage(const QString &text) {
    const auto answer = kq7000fp_msgBox::ask(
        QMessageBox::Critical, QApplication::activeWindow(), "Movara " + titleText() + " SFP Error message",
        text + "\nDo you want to exit?", QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        std::exit(0);
}

void kq7000fp_app::autoscaleToggledSlot(bool status) {
    m_autoscaleButton->setText(status ? "ON" : "OFF");
    emit autoscaleToggled(status);
}

void kq7000fp_app::identToggledSlot(bool status) {
    m_identifyButton->setText(status ? "ON" : "OFF");
    emit identToggled(status);
}

void kq7000fp_app::startToggledSlot(bool status) {
    if (status) {
        m_singleButton->setIcon(kq7000fp_icons::stop());
        setTips(m_singleButton, "Breaks the Single-Shot Data Acquisition");
        m_repetitiveButton->setEnabled(false);
        emit startSingle();
    } else {
        m_singleButton->setIcon(kq7000fp_icons::startSingle());
        setTips(m_singleButton, withSpaceNote("Starts the Single-Shot Data Acquisition"));
        m_singleButton->setEnabled(false);
        m_repetitiveButton->setEnabled(false);
        emit breakSingle();
    }
}

void kq7000fp_app::startContToggledSlot(bool status) {
    if (status) {
        m_repetitiveButton->setIcon(kq7000fp_icons::stop());
        setTips(m_repetitiveButton, withSpaceNote("Stops the Data Acquisition process"));
        m_singleButton->setEnabled(false);
        emit startCont();
    } else {
        m_repetitiveButton->setIcon(kq7000fp_icons::startRepetitive());
        setTips(m_repetitiveButton, withSpaceNote(kStartContTip));
        m_singleButton->setEnabled(false);
        m_repetitiveButton->setEnabled(false);
        emit stopCont();
    }
}

void kq7000fp_app::enableStart() {
    m_singleButton->setEnabled(true);
    m_repetitiveButton->setEnabled(true);
}

void kq7000fp_app::userBreak() {
    if (m_repetitiveButton->isChecked())
        m_repetitiveButton->toggle();
    if (m_singleButton->isChecked())
        m_singleButton->toggle();
    enableStart();
}

void kq7000fp_app::enterWIT() {
    QWhatsThis::enterWhatsThisMode();
}

void kq7000fp_app::closeEvent(QCloseEvent *event) {
    const auto answer = kq7000fp_msgBox::ask(QMessageBox::Question, QApplication::activeWindow(),
                                             "Movara " + titleText() + " SFP", "Do you really want to exit?",
                                             QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        event->accept();
    else
        event->ignore();
}
