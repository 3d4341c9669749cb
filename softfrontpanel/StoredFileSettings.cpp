#include "StoredFileSettings.h"

#include "fileInfo_t.h"
#include "kq7150fp_App.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"
#include "kq7150fp_chCfg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QTabWidget>

namespace {

// Selects the item carrying the value, adding it when the panel does not offer it.
template <typename T> void selectValue(QComboBox *choice, T value, const QString &text) {
    for (int i = 0; i < choice->count(); ++i)
        if (choice->itemData(i).value<T>() == value) {
            choice->setCurrentIndex(i);
            return;
        }
    choice->addItem(text, value);
    choice->setCurrentIndex(choice->count() - 1);
}

} // namespace

void StoredFileSettings::apply(kq7150fp_App &window, const fileInfo_t &info) {
    selectValue<int>(window.daq->lengthChoice, info.scansPerBlock, QString::number(info.scansPerBlock));
    selectValue<double>(window.daq->samplingRate, info.rate, QString::number(info.rate, 'g', 6));
    const int cards = std::min<int>(info.cards, window.cards());
    for (int c = 0; c < cards; ++c)
        for (int b = 0; b < kq7150fp_App::kChannels; ++b) {
            const bool on = (info.channelMasks[c] >> b) & 1;
            kq7150fp_chCfg *channel = window.channel(c, b);
            channel->enableBox()->setChecked(on);
            channel->setChEnable(on);
        }
    // A recording cannot be reconfigured: its cards and acquisition settings are fixed.
    QTabWidget *tabs = window.mainTabs();
    tabs->setTabEnabled(tabs->indexOf(window.fcTab()->parentWidget()), false);
    tabs->setTabEnabled(tabs->indexOf(window.daq), false);
    if (info.blockCount > 0)
        window.waveform->showOffline(info);
    window.setWindowTitle("Movara 7150 Soft Front Panel: " +
                          QFileInfo(QFile::decodeName(info.path)).fileName());
}
