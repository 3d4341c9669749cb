// The frame of a function-card panel: connects to the cards (or runs in demo mode), keeps
// the connection, and labels the window with what it is connected to.
#pragma once

#include "kq7000fp_app.h"

#include "visatype.h"

#include <array>

class kq7000fp_genFC;

class kq7000fp_AppFC : public kq7000fp_app {
    Q_OBJECT
public:
    kq7000fp_AppFC(kq7000fp_genFC &descriptor, bool multiple, bool startInDemo, const QString &plotVersion,
                   bool kissFft, QWidget *parent = nullptr);

    ViSession session() const { return m_session; }
    int demo() const { return m_demo; }
    int cardCount() const { return m_cardCount; }
    const std::array<int32_t, 256> &cardNumbers() const { return m_cardNumbers; }
    bool isLxi() const { return m_lxi; }
    kq7000fp_genFC *descriptor() const { return m_descriptor; }
    // What the About dialog shows of the software around the panel.
    QString commonLibraryRevision() const { return m_commonRevision; }

protected:
    // After a reset the cards hold their own defaults, not what the panel shows; a panel that
    // keeps settings of its own puts them back in step here.
    virtual void cardsReset() {}

private slots:
    void resetDevice();

private:
    void connectToCards(bool multiple, bool startInDemo);
    void describeConnection();
    void prepareAbout(const QString &plotVersion, bool kissFft);

    ViSession m_session = 0;
    int m_demo = 0;
    std::array<int32_t, 256> m_cardNumbers{};
    int m_cardCount = 1;
    bool m_lxi = false;
    kq7000fp_genFC *m_descriptor;
    QString m_commonRevision;
    QString m_plotVersion;
    bool m_kissFft = false;
};
