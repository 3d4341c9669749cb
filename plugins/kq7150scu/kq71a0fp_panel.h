// The panel of a Movara 71A0: an 8-channel programmable-gain front end placed before a 7150
// card. Each channel has the unit's own gain (1, 10 or 100) on top of the card's; the panel
// shows both and their product, which sets the smallest signal the channel resolves, and
// whether the card acquires the channel.
#pragma once

#include "kq7000fp_scuWidget.h"

#include <array>

class QComboBox;
class QLabel;

class kq71a0fp_panel : public kq7000fp_scuWidget {
    Q_OBJECT
public:
    static constexpr int kChannels = 8;

    explicit kq71a0fp_panel(QWidget *parent = nullptr);

    void init(ViSession session, ViUInt16 modelCode, ViUInt16 variantCode) override;
    bool acceptsCard() const override;
    bool isPresent() const override { return true; }
    bool isReady() const override { return true; }
    bool isExclusive() const override { return false; }
    void resetUnit() override;
    QString model() const override { return "71A0-01"; }
    QString serialNumber() const override;
    QString revision() const override { return "1.0.0"; }
    // The unit has no driver of its own; the card driver's revision stays in the About dialog.
    QString driverRevision() const override { return QString(); }
    QString sfpVersion() const override { return "1.0.0"; }

public slots:
    void masterChannelEnabled(int chIdx, int enable) override;
    void masterGainChanged(int chIdx, int gain) override;

private:
    void showTotal(int chIdx);

    ViSession m_session = 0;
    ViUInt16 m_modelCode = 0;
    QLabel *m_identity = nullptr;
    std::array<QComboBox *, kChannels> m_unitGain{};
    std::array<QLabel *, kChannels> m_cardGain{};
    std::array<QLabel *, kChannels> m_totalGain{};
    std::array<QLabel *, kChannels> m_acquired{};
    // 0 until the card has told the gain.
    std::array<int, kChannels> m_cardFactor{};
};
