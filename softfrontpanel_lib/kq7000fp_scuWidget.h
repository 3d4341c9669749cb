// The panel of one signal conditioning unit in front of one function card, as a plug-in
// provides it. The front panel shows it in a tab named after the window title, tells it the
// gain and enable state of each of the card's channels, and lists its five texts among the
// hardware in the About dialog.
//
// Plug-ins derive from this class and link the shared library that holds it, so that the
// program and every plug-in share one meta-object and the signal connections hold across
// the library boundary. The order of the virtual operations is part of the plug-in contract:
// append, never reorder.
#pragma once

#include "visatype.h"

#include <QString>
#include <QWidget>

class kq7000fp_scuWidget : public QWidget {
    Q_OBJECT
public:
    explicit kq7000fp_scuWidget(QWidget *parent = nullptr);
    ~kq7000fp_scuWidget() override;

    // Binds the widget to one card. session is 0 in demo mode: there is no hardware to reach.
    virtual void init(ViSession session, ViUInt16 modelCode, ViUInt16 variantCode) = 0;
    // False when this unit does not belong in front of that card; the widget is then dropped.
    virtual bool acceptsCard() const = 0;
    // The unit answers, and it is ready to be operated; the panel is shown only when both hold.
    virtual bool isPresent() const = 0;
    virtual bool isReady() const = 0;
    // The unit must be the only one in front of its card: with hardware, no further plug-in is
    // offered for the card after this one.
    virtual bool isExclusive() const = 0;
    // Puts the unit back to its power-up settings; for the plug-in's own use, the front panel
    // never calls it.
    virtual void resetUnit() = 0;
    // What the About dialog shows. An empty driver revision or panel version leaves the
    // front panel's own text in place.
    virtual QString model() const = 0;
    virtual QString serialNumber() const = 0;
    virtual QString revision() const = 0;
    virtual QString driverRevision() const = 0;
    virtual QString sfpVersion() const = 0;

public slots:
    // chIdx 0..7 on the card. enable is non-zero for an acquired channel; gain is the card's
    // own gain factor for the channel.
    virtual void masterChannelEnabled(int chIdx, int enable) = 0;
    virtual void masterGainChanged(int chIdx, int gain) = 0;

signals:
    // A failed call of the unit: a driver status and the text of the call. The front panel
    // reports it like its own failures.
    void masterError(int status, const char *fcall);
};
