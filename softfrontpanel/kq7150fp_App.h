// The main window of the 7150 front panel: the frame plus one page per card with its
// channel panels, the acquisition settings, and the actions over many channels.
#pragma once

#include "kq7000fp_AppFC.h"

#include "kq7150.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

struct AcquisitionSettings;
class QAction;
class QComboBox;
class RecordingOpener;
class QMenu;
class QMenuBar;
class ConfigurationMenu;
class acqConfig;
class QPushButton;
class QTabWidget;
class kq7000fp_scu;
class kq7150_fc;
class kq7150fp_chCfg;
class kq7150fp_DAQ;
class kq7150fp_Waveform;
class measurement;
class plot_voltage;

class kq7150fp_App : public kq7000fp_AppFC {
    Q_OBJECT
public:
    static constexpr int kMaxCards = 64;
    static constexpr int kChannels = 8;

    // demoCards: the number of cards shown without hardware. offline: a stored file is viewed;
    // no card is connected.
    kq7150fp_App(kq7150_fc &descriptor, int demoCards, bool offline, QWidget *parent = nullptr);
    // The signal conditioning unit hosts go first: they delete their widgets, which sit in
    // this window's pages, and unload the libraries that hold the widgets' code.
    ~kq7150fp_App() override;

    // The number of cards the window shows (connected, or simulated in demo mode).
    int cards() const { return m_cards; }
    kq7150fp_chCfg *channel(int card, int channel) const { return m_chCfg[card * kChannels + channel]; }
    QTabWidget *mainTabs() const { return m_mainTabs; }
    // The workbench's menus above the banner. The panel's own controls do not depend on them:
    // each feature adds its actions, with the usual shortcuts.
    QMenuBar *menuBar() const { return m_menuBar; }
    QMenu *fileMenu() const { return m_fileMenu; }
    QMenu *viewMenu() const { return m_viewMenu; }
    RecordingOpener *recordings() const { return m_recordings; }

    // Ends what the window is doing before it makes way for another: an acquisition stops
    // (after asking, question), a recording being stored is completed. false: the user keeps
    // the acquisition, or the disk did not take the recording's last blocks in time.
    bool endSession(const QString &question);
    // Saving and opening configurations, and restoring the last one at start.
    ConfigurationMenu *configurations() const { return m_configurations; }
    QTabWidget *fcTab() const { return m_fcTab; }
    QTabWidget *channelTabs(int card) const { return m_channelTabs[card]; }
    QComboBox *vrefChoice() const { return m_vrefChoice; }
    // Two ASCII characters of a card's variant ("BB"); a low byte 'A' means gain 1 only. Cards
    // of one session may differ.
    uint16_t variantCode(int card) const { return m_variants[card]; }
    // The settings of the panels, as an acquisition started now runs with them.
    AcquisitionSettings acquisitionSettings() const;

    kq7150fp_Waveform *waveform = nullptr;
    kq7150fp_DAQ *daq = nullptr;
    plot_voltage *spectrum = nullptr;
    // A tab only with "-acperf"; the acquisition settings panel places it.
    measurement *measurements = nullptr;
    // Asked before every acquisition with storage.
    acqConfig *acqDialog = nullptr;

    // What the About dialog lists of each card: model, firmware revision, serial number.
    struct CardDescription {
        QString model, firmware, serial;
    };
    const std::vector<CardDescription> &hardware() const { return m_hardware; }
    // What the About dialog lists of each signal conditioning unit plug-in shown, in the order
    // of the "SCUs" pages: the five texts the plug-in supplies. card is 0-based.
    struct ScuDescription {
        int card;
        QString model, serial, revision, driverRevision, sfpVersion;
    };
    const std::vector<ScuDescription> &scuHardware() const { return m_scuHardware; }

public slots:
    void displayError(int error, const char *fcall);
    void setVref(int idx);
    void applyToAllChan();
    void calibrateAllChan();
    void applyToAllFC();
    void calibrateAllFC();
    void FCChanged(int index);
    void mainTabChanged(int index);
    // "Export Data..." of the plot in front (waveforms or spectrum).
    void exportShownData();

protected:
    // Any acquisition ends before the window goes.
    void closeEvent(QCloseEvent *event) override;
    void cardsReset() override;

private:
    void buildMenus(bool offline);
    void connectWaveform();
    void readCardEnvironments();
    bool readReferenceTable(const kq7000_ifVref *ref);
    QWidget *buildCardPage(int card);
    void fillReferenceChoice(QComboBox *choice, int card);
    void addMultiCardButtons(QWidget *page);
    void describeHardware();
    void buildScuPages();
    const kq7150fp_chCfg *shownChannelToCopy();
    void copyChannel(const kq7150fp_chCfg &from, kq7150fp_chCfg &to);
    bool cardSession(int card, const char *sessionCall, ViSession &fc);
    bool cardEnvironment(int card, const char *sessionCall, ViSession &fc, kq7150_instEnv *&env);
    void runCalibration(const std::vector<std::pair<int, int>> &channels,
                        const std::function<QString(int card, int channel)> &textOf, const char *sessionCall);

    int m_cards = 1;
    std::array<uint16_t, kMaxCards> m_variants;
    QMenuBar *m_menuBar = nullptr;
    QMenu *m_fileMenu = nullptr;
    QMenu *m_viewMenu = nullptr;
    RecordingOpener *m_recordings = nullptr;
    QAction *m_exportData = nullptr;
    ConfigurationMenu *m_configurations = nullptr;
    QTabWidget *m_mainTabs = nullptr;
    QComboBox *m_vrefChoice = nullptr;
    QTabWidget *m_fcTab = nullptr;
    std::array<QTabWidget *, kMaxCards> m_channelTabs{};
    std::array<kq7150fp_chCfg *, kMaxCards * kChannels> m_chCfg{};
    std::vector<CardDescription> m_hardware;
    std::array<kq7000fp_scu *, kMaxCards> m_scuHosts{};
    std::vector<ScuDescription> m_scuHardware;
};
