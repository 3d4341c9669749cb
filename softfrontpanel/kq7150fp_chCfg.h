// The page of one input channel of one 7150 card: input source, coupling, gain, the two
// filters and whether the channel is acquired. Every accepted change reaches the driver at
// once; the page also owns the channel's overrange lamp and its calibration.
#pragma once

#include "visatype.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class kq7000fp_led;
class kq7150fp_App;

class kq7150fp_chCfg : public QWidget {
    Q_OBJECT
public:
    // Indexes of the source choice; the driver code follows from the index and the coupling.
    enum SourceIndex { FrontPanelDiff, FrontPanelSingle, VoltageReference, IcpSensor, Teds };
    // Indexes of the coupling choice.
    enum CouplingIndex { AC, DC };

    // channel 0..7 on the card, card 0-based. Sends the channel's first configuration.
    kq7150fp_chCfg(kq7150fp_App *parent, int channel, int card);

    // Everything a person sets on the page, as indexes of its choices.
    struct Choices {
        int source = FrontPanelDiff;
        int coupling = AC;
        int gainIndex = 0;
        bool highPass = false, antiRinging = false, enabled = false;
    };
    Choices choices() const;
    // Shows the choices and sends them to the card as one configuration, as the page sends a
    // person's change; a gain index beyond the card's choices takes its highest gain.
    void applyChoices(const Choices &choices);

    QGroupBox *frontEndGroup() const { return m_frontEnd; }
    QCheckBox *enableBox() const { return m_enableBox; }
    QComboBox *sourceChoice() const { return m_sourceChoice; }
    QComboBox *couplingChoice() const { return m_couplingChoice; }
    kq7000fp_led *overrangeLed() const { return m_overrangeLed; }
    QPushButton *calibrateButton() const { return m_calibrateButton; }
    bool holdsReference() const { return m_holdsReference; }

    // True while some channel of any card is connected to the motherboard voltage reference.
    static bool referenceTaken();
    // Frees the reference without telling the channel that held it: only for starting over
    // with new panels (a test building a second window).
    static void forgetReference();

    QComboBox *gain = nullptr; // item data: the gain factor
    QCheckBox *hpf = nullptr;  // shared by a channel pair, operated from its first channel
    QCheckBox *fir = nullptr;
    ViUInt16 source = 0; // driver source code sent last
    ViSession d_vi = 0;
    int d_ch = 0; // 0..7
    int d_FC = 0; // 0-based card index

public slots:
    void setChCfg();
    void setChEnable(int ena);
    void calibrate();
    // The page as a fresh window shows it, sent to the card.
    void restoreDefaults();

signals:
    void gainChangedSignal(int chIdx, int gain);
    void channelEnabledSignal(int chIdx, int enable);

private:
    QGroupBox *buildFrontEnd();
    QGroupBox *buildChannelGroup();
    void revertSource();
    void restoreAccepted();
    void reportFailure(ViStatus status, const char *call);

    QGroupBox *m_frontEnd = nullptr;
    QCheckBox *m_enableBox = nullptr;
    QComboBox *m_sourceChoice = nullptr;
    QComboBox *m_couplingChoice = nullptr;
    kq7000fp_led *m_overrangeLed = nullptr;
    QPushButton *m_calibrateButton = nullptr;
    kq7150fp_App *m_app = nullptr;
    int m_demo = 0;
    bool m_holdsReference = false;
    // What the card last accepted: a change it refuses puts the page back to this.
    struct Settings {
        int source = FrontPanelDiff;
        int coupling = AC;
        int gainIndex = 0;
        bool highPass = false, antiRinging = false;
    } m_accepted;
    void showSettings(const Settings &s);
};
