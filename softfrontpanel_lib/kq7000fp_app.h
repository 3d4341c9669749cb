// The window chrome shared by the maker's function-card panels: banner, content area and
// the control column. It owns the buttons' states and turns presses into signals; it
// knows nothing about cards.
#pragma once

#include <QWidget>

class QLabel;
class QLayout;
class QPushButton;
class QVBoxLayout;
class kq7000fp_led;
class kq7000fp_About;

class kq7000fp_app : public QWidget {
    Q_OBJECT
public:
    explicit kq7000fp_app(QWidget *parent = nullptr);

    void setContentLayout(QLayout *layout);
    void setBannerText(const QString &text);
    void showLxiLogo(bool isLxi);
    void setCarrierInfo(const QString &text, const QString &whatsThis);
    void setCardInfo(const QString &text, const QString &whatsThis);
    void setDemoMode(bool demo);
    void showAutoscale(bool show);
    void showIdentify(bool show);
    void showStartButtons(bool show);

    // Centred in the screen's available area; a window larger than that starts at its top left.
    static void centerOnScreen(QWidget *widget);
    // The window manager's title bar, which is not known before a window is shown: the room a
    // window's size has to leave for it.
    int titleBarHeight() const;
    // Shows a window and draws it at once, for callers that block the event loop next (a
    // calibration): the window system maps a new window a moment after show(), and until then
    // nothing can be drawn, so one pass of the event loop may leave an empty frame throughout.
    static void showAndDraw(QWidget *widget);
    static void showInfoMessage(const QString &text);
    static void showWarningMessage(const QString &text);
    // The error box also asks whether to end the program: Yes exits with code 0.
    static void showErrorMessage(const QString &text);

    // The model text that every box title carries ("7150").
    static QString titleText();
    static void setTitleText(const QString &text);

signals:
    void autoscaleToggled(bool);
    void identToggled(bool);
    void startSingle();
    void breakSingle();
    void startCont();
    void stopCont();
    void resetPressed();

public slots:
    void enterWIT();
    void userBreak();
    void enableStart();

private slots:
    void autoscaleToggledSlot(bool status);
    void identToggledSlot(bool status);
    void startToggledSlot(bool status);
    void startContToggledSlot(bool status);

protected:
    void closeEvent(QCloseEvent *event) override;

    // Widgets in the order the frame declares them; derived panels reach the ones they use.
    QPushButton *m_whatsThisButton = nullptr;
    QPushButton *m_autoscaleButton = nullptr;
    kq7000fp_About *m_about = nullptr;
    QPushButton *m_aboutButton = nullptr;
    QWidget *m_content = nullptr;
    bool m_layoutReady = false;
    QLabel *m_banner = nullptr;
    QLabel *m_carrierLogo = nullptr;
    QLabel *m_carrierInfo = nullptr;
    QLabel *m_cardInfo = nullptr;
    kq7000fp_led *m_activeLed = nullptr;
    QPushButton *m_closeButton = nullptr;
    QLabel *m_autoscaleCaption = nullptr;
    QVBoxLayout *m_controlColumn = nullptr;
    QLabel *m_identifyCaption = nullptr;
    QPushButton *m_identifyButton = nullptr;
    QPushButton *m_resetButton = nullptr;
    QPushButton *m_singleButton = nullptr;
    QPushButton *m_repetitiveButton = nullptr;

private:
    QLayout *buildBanner();
    QWidget *buildStatusGroup(int h);
    void buildControlColumn(int h);
};
