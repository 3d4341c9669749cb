#include "ConfigurationWidgets.h"

#include "ConfigurationKeys.h"
#include "ConfigurationMismatches.h"
#include "acqConfig.h"
#include "chLabel.h"
#include "chLabelFft.h"
#include "kq7150fp_App.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"
#include "kq7150fp_chCfg.h"
#include "plot_voltage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>

#include <string>
#include <vector>

namespace K = ConfigurationKeys;

namespace {

std::string text(const QString &s) {
    return s.toStdString();
}

std::string variantText(uint16_t code) {
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

std::string serialOf(const kq7150fp_App &app, int card) {
    const auto &cards = app.hardware();
    return card < static_cast<int>(cards.size()) ? text(cards[card].serial) : std::string();
}

// Applies one section's entries to the controls they name; the caller's functions say how.
class SectionApplier {
public:
    SectionApplier(const ConfigurationFile &file, std::string section, std::string where,
                   ConfigurationMismatches &mismatches)
        : m_file(file), m_section(std::move(section)), m_where(std::move(where)), m_mismatches(mismatches) {}

    const std::string *value(const std::string &key) const {
        const ConfigurationFile::Entry *entry = m_file.find(m_section, key);
        return entry ? &entry->value : nullptr;
    }
    // The item with the saved text, or -1 after listing it as not offered (or when not saved).
    int choice(const QComboBox *box, const std::string &key, const std::string &what) const {
        const std::string *saved = value(key);
        if (!saved)
            return -1;
        const int index = box ? box->findText(QString::fromStdString(*saved)) : -1;
        if (index < 0)
            m_mismatches.notOffered(m_where, what, *saved, box ? text(box->currentText()) : "");
        return index;
    }
    void setBox(QAbstractButton *box, const std::string &key) const {
        if (const std::string *saved = value(key))
            box->setChecked(K::toBool(*saved));
    }

private:
    const ConfigurationFile &m_file;
    std::string m_section, m_where;
    ConfigurationMismatches &m_mismatches;
};

void collectCards(const kq7150fp_App &app, ConfigurationFile &file) {
    for (int c = 0; c < app.cards(); ++c) {
        const std::string section = K::cardSection(c);
        file.set(section, "Serial", serialOf(app, c));
        file.set(section, "Variant", variantText(app.variantCode(c)));
        for (int ch = 0; ch < K::kChannels; ++ch) {
            const kq7150fp_chCfg *page = app.channel(c, ch);
            file.set(section, K::channelKey(ch, "Source"), text(page->sourceChoice()->currentText()));
            file.set(section, K::channelKey(ch, "Coupling"), text(page->couplingChoice()->currentText()));
            file.set(section, K::channelKey(ch, "Gain"), text(page->gain->currentText()));
            file.set(section, K::channelKey(ch, "HighPass"), K::fromBool(page->hpf->isChecked()));
            file.set(section, K::channelKey(ch, "AntiRinging"), K::fromBool(page->fir->isChecked()));
            file.set(section, K::channelKey(ch, "Enabled"), K::fromBool(page->enableBox()->isChecked()));
            file.set(section, K::channelKey(ch, "Colour"),
                     text(app.waveform->legend(c, ch)->colour().name()));
            const chLabelFft *spectrum = app.spectrum->labelList()[c * K::kChannels + ch];
            file.set(section, K::channelKey(ch, "SpectrumColour"), text(spectrum->colour().name()));
            file.set(section, K::channelKey(ch, "SpectrumShown"), K::fromBool(spectrum->isSelected()));
        }
    }
}

void collectAcquisition(const kq7150fp_App &app, ConfigurationFile &file) {
    const kq7150fp_DAQ &daq = *app.daq;
    const std::pair<const char *, QComboBox *> choices[] = {
        {"WaveformLength", daq.lengthChoice}, {"TriggerPosition", daq.trgPosition},
        {"SamplingRate", daq.samplingRate},   {"Pipeline", daq.pipeline},
        {"ZeroPadding", daq.zeroPadding},     {"FftWindow", daq.fftWindow},
        {"SineFitting", daq.sineFitting},     {"TriggerSource", daq.trgSource},
        {"TriggerEdge", daq.trgEdge}};
    for (const auto &[key, box] : choices)
        if (box)
            file.set(K::kAcquisition, key, text(box->currentText()));
    file.set(K::kAcquisition, "ContinuousStorage", K::fromBool(daq.continuousStorage->isChecked()));
    file.set(K::kAcquisition, "TriggerLevel", K::fromNumber(daq.trgLvl->value()));
}

void collectStorageAndView(const kq7150fp_App &app, ConfigurationFile &file) {
    const acqConfig &storage = *app.acqDialog;
    file.set(K::kStorage, "FileName", text(storage.pathEdit()->text()));
    file.set(K::kStorage, "Format", text(storage.formatChoice()->currentText()));
    file.set(K::kStorage, "Timestamps", K::fromBool(storage.timestampsBox()->isChecked()));
    file.set(K::kStorage, "RefreshInterval", text(storage.refreshChoice()->currentText()));

    const kq7150fp_Waveform::CustomUnit unit = app.waveform->customUnit();
    file.set(K::kView, "Symbols", text(app.waveform->symbolChoice()->currentText()));
    file.set(K::kView, "SpectrumSymbols", text(app.spectrum->symbolSelector()->currentText()));
    file.set(K::kView, "CustomUnit", K::fromBool(unit.on));
    file.set(K::kView, "UnitName", text(unit.name));
    file.set(K::kView, "UnitOffset", K::fromNumber(unit.offset));
    file.set(K::kView, "UnitMultiplier", K::fromNumber(unit.multiplier));
    file.set(K::kView, "SnapToSample", K::fromBool(app.spectrum->snapToSample()->isChecked()));
}

// One card's pages. Returns the channels that ask for the voltage reference: they go last,
// once every other page has let go of it.
std::vector<std::pair<kq7150fp_chCfg *, kq7150fp_chCfg::Choices>>
applyCard(const ConfigurationFile &file, kq7150fp_App &app, int card, ConfigurationMismatches &mismatches) {
    std::vector<std::pair<kq7150fp_chCfg *, kq7150fp_chCfg::Choices>> referenced;
    const std::string section = K::cardSection(card);
    for (int ch = 0; ch < K::kChannels; ++ch) {
        kq7150fp_chCfg *page = app.channel(card, ch);
        const SectionApplier saved(
            file, section,
            "Function Card #" + std::to_string(card + 1) + ", Channel " + std::to_string(ch + 1), mismatches);
        kq7150fp_chCfg::Choices choices = page->choices();
        if (const int i = saved.choice(page->sourceChoice(), K::channelKey(ch, "Source"), "Input Source");
            i >= 0)
            choices.source = i;
        if (const int i = saved.choice(page->couplingChoice(), K::channelKey(ch, "Coupling"), "Coupling");
            i >= 0)
            choices.coupling = i;
        if (const int i = saved.choice(page->gain, K::channelKey(ch, "Gain"), "Gain"); i >= 0)
            choices.gainIndex = i;
        for (auto [key, field] : {std::pair{"HighPass", &kq7150fp_chCfg::Choices::highPass},
                                  {"AntiRinging", &kq7150fp_chCfg::Choices::antiRinging},
                                  {"Enabled", &kq7150fp_chCfg::Choices::enabled}})
            if (const std::string *value = saved.value(K::channelKey(ch, key)))
                choices.*field = K::toBool(*value);
        if (choices.source == kq7150fp_chCfg::VoltageReference && choices.enabled)
            referenced.emplace_back(page, choices);
        else
            page->applyChoices(choices);
        if (const std::string *colour = saved.value(K::channelKey(ch, "Colour")))
            app.waveform->legend(card, ch)->setColour(QColor(QString::fromStdString(*colour)));
        chLabelFft *spectrum = app.spectrum->labelList()[card * K::kChannels + ch];
        if (const std::string *colour = saved.value(K::channelKey(ch, "SpectrumColour")))
            spectrum->setColour(QColor(QString::fromStdString(*colour)));
        if (const std::string *shown = saved.value(K::channelKey(ch, "SpectrumShown")))
            spectrum->setSelected(K::toBool(*shown));
    }
    return referenced;
}

void applyCards(const ConfigurationFile &file, kq7150fp_App &app, ConfigurationMismatches &mismatches) {
    std::vector<std::pair<kq7150fp_chCfg *, kq7150fp_chCfg::Choices>> referenced;
    for (int card = 0; card < K::kMaxCards; ++card) {
        const std::string section = K::cardSection(card);
        const bool saved =
            std::any_of(file.entries().begin(), file.entries().end(),
                        [&](const ConfigurationFile::Entry &e) { return e.section == section; });
        if (!saved)
            continue;
        const ConfigurationFile::Entry *serial = file.find(section, "Serial");
        if (!mismatches.matchCard(card, app.cards(), serial ? serial->value : "", serialOf(app, card)))
            continue;
        for (auto &pair : applyCard(file, app, card, mismatches))
            referenced.push_back(pair);
    }
    // One reference for the whole system: the first that asks gets it.
    for (auto &[page, choices] : referenced) {
        if (kq7150fp_chCfg::referenceTaken() && !page->holdsReference()) {
            mismatches.add("Function Card #" + std::to_string(page->d_FC + 1) + ", Channel " +
                           std::to_string(page->d_ch + 1) +
                           ": the MB Voltage Reference is used by another channel; kept \"" +
                           text(page->sourceChoice()->currentText()) + "\"");
            choices.source = page->sourceChoice()->currentIndex();
        }
        page->applyChoices(choices);
    }
    app.waveform->waveSlot();
    app.waveform->toggleChannels();
}

void applyAcquisition(const ConfigurationFile &file, kq7150fp_App &app, ConfigurationMismatches &mismatches) {
    kq7150fp_DAQ &daq = *app.daq;
    const SectionApplier saved(file, K::kAcquisition, "", mismatches);
    const struct {
        const char *key, *caption;
        QComboBox *box;
    } choices[] = {{"WaveformLength", "Waveform Length", daq.lengthChoice},
                   {"SamplingRate", "Sampling Rate", daq.samplingRate},
                   {"ZeroPadding", "FFT Zero Padding", daq.zeroPadding},
                   {"FftWindow", "FFT Window", daq.fftWindow},
                   {"SineFitting", "Sine fitting", daq.sineFitting},
                   {"TriggerEdge", "Trigger Edge", daq.trgEdge},
                   {"TriggerPosition", "Trigger Position", daq.trgPosition},
                   {"Pipeline", "Sigma-Delta Pipeline", daq.pipeline}};
    for (const auto &choice : choices)
        if (const int index = saved.choice(choice.box, choice.key, choice.caption); index >= 0)
            choice.box->setCurrentIndex(index);
    if (const std::string *level = saved.value("TriggerLevel"))
        daq.trgLvl->setValue(K::toNumber(*level));
    // Last: the source locks what it leaves no choice in, as choosing it does.
    if (const int index = saved.choice(daq.trgSource, "TriggerSource", "Trigger Source"); index >= 0)
        daq.trgSource->setCurrentIndex(index);
    daq.trgSrcChanged(daq.trgSource->currentIndex());
    saved.setBox(daq.continuousStorage, "ContinuousStorage");
}

void applyStorageAndView(const ConfigurationFile &file, kq7150fp_App &app,
                         ConfigurationMismatches &mismatches) {
    acqConfig &storage = *app.acqDialog;
    const SectionApplier stored(file, K::kStorage, "Continuous Acquisition Configuration", mismatches);
    if (const std::string *name = stored.value("FileName"))
        storage.pathEdit()->setText(QString::fromStdString(*name));
    if (const int i = stored.choice(storage.formatChoice(), "Format", "Data Format"); i >= 0)
        storage.formatChoice()->setCurrentIndex(i);
    stored.setBox(storage.timestampsBox(), "Timestamps");
    if (const int i = stored.choice(storage.refreshChoice(), "RefreshInterval", "Plot Refresh Interval");
        i >= 0)
        storage.refreshChoice()->setCurrentIndex(i);

    const SectionApplier view(file, K::kView, "", mismatches);
    kq7150fp_Waveform &waveform = *app.waveform;
    if (const int i = view.choice(waveform.symbolChoice(), "Symbols", "Symbols"); i >= 0) {
        waveform.symbolChoice()->setCurrentIndex(i);
        waveform.symbolSizeSlot();
    }
    if (const int i = view.choice(app.spectrum->symbolSelector(), "SpectrumSymbols", "Spectrum Symbols");
        i >= 0) {
        app.spectrum->symbolSelector()->setCurrentIndex(i);
        app.spectrum->symbolSizeSlot();
    }
    kq7150fp_Waveform::CustomUnit unit = waveform.customUnit();
    if (const std::string *on = view.value("CustomUnit"))
        unit.on = K::toBool(*on);
    if (const std::string *name = view.value("UnitName"))
        unit.name = QString::fromStdString(*name);
    if (const std::string *offset = view.value("UnitOffset"))
        unit.offset = K::toNumber(*offset);
    if (const std::string *multiplier = view.value("UnitMultiplier"))
        unit.multiplier = K::toNumber(*multiplier);
    waveform.setCustomUnit(unit);
    view.setBox(app.spectrum->snapToSample(), "SnapToSample");
}

} // namespace

ConfigurationFile ConfigurationWidgets::collect(const kq7150fp_App &app) {
    ConfigurationFile file;
    collectAcquisition(app, file);
    collectStorageAndView(app, file);
    collectCards(app, file);
    return file;
}

void ConfigurationWidgets::apply(const ConfigurationFile &file, kq7150fp_App &app,
                                 ConfigurationMismatches &mismatches) {
    applyCards(file, app, mismatches);
    applyAcquisition(file, app, mismatches);
    applyStorageAndView(file, app, mismatches);
}
