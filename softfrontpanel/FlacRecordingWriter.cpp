#include "FlacRecordingWriter.h"

#include "DataFileWriter.h"
#include "FlacRecordingFiles.h"

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// libFLAC's default: close to the best size, and far faster than a card delivers.
constexpr unsigned kCompressionLevel = 5;

std::vector<std::string> cardComments(const FlacRecordingWriter::Plan &plan, size_t card,
                                      size_t firstChannel) {
    std::vector<std::string> comments = {"DEVICE=Movara 7150", "CARD=FC" + std::to_string(card + 1),
                                         "SAMPLING_RATE_HZ=" + DataFileWriter::exactNumber(plan.rate),
                                         "TIME_OFFSET=" + DataFileWriter::exactNumber(plan.timeOffset)};
    std::string channels;
    size_t index = firstChannel;
    for (int k = 0; k < 8; ++k) {
        if (!(plan.masks[card] >> k & 1))
            continue;
        const std::string name = "CH" + std::to_string(k + 1);
        channels += (channels.empty() ? "" : ",") + name;
        comments.push_back("LSB_" + name + "=" + DataFileWriter::exactNumber(plan.lsb[index]));
        if (index < plan.gains.size())
            comments.push_back("GAIN_" + name + "=" + std::to_string(plan.gains[index]));
        ++index;
    }
    comments.push_back("CHANNELS=" + channels);
    return comments;
}

} // namespace

bool FlacRecordingWriter::open(const Plan &plan) {
    m_plan = plan;
    std::vector<std::string> opened;
    if (openStreams(opened))
        return true;
    // A recording that cannot have all its streams leaves none of them behind.
    const int cause = errno;
    m_cards.clear();
    m_times.reset();
    for (const std::string &path : opened)
        std::remove(path.c_str());
    errno = cause;
    return false;
}

bool FlacRecordingWriter::openStreams(std::vector<std::string> &opened) {
    m_cards.clear();
    m_firstChannel.clear();
    m_times.reset();
    size_t channel = 0;
    for (size_t card = 0; card < m_plan.masks.size(); ++card) {
        FlacStreamWriter::Format format;
        format.channels = unsigned(std::bitset<8>(m_plan.masks[card]).count());
        if (format.channels == 0 || channel + format.channels > m_plan.lsb.size()) {
            errno = EINVAL; // every stream holds at least one channel, each with its scale
            return false;
        }
        format.rate = m_plan.rate;
        format.comments = cardComments(m_plan, card, channel);
        m_firstChannel.push_back(channel);
        channel += format.channels;
        m_cards.push_back(std::make_unique<FlacStreamWriter>());
        opened.push_back(FlacRecordingFiles::cardStream(m_plan.descriptionPath, int(card + 1)));
        if (!m_cards.back()->open(opened.back(), format, kCompressionLevel))
            return false;
    }
    if (m_plan.timestamps) {
        FlacStreamWriter::Format format;
        format.channels = 2;
        format.bits = 32;
        format.rate = m_plan.rate;
        format.comments = {"DEVICE=Movara 7150", "CHANNELS=SECONDS,NANOSECONDS",
                           "SAMPLING_RATE_HZ=" + DataFileWriter::exactNumber(m_plan.rate)};
        m_times = std::make_unique<FlacStreamWriter>();
        opened.push_back(FlacRecordingFiles::timeStream(m_plan.descriptionPath));
        if (!m_times->open(opened.back(), format, kCompressionLevel))
            return false;
    }
    return true;
}

bool FlacRecordingWriter::writeCards(size_t from, size_t to, const int32_t *counts) {
    const size_t scans = size_t(m_plan.scans);
    std::vector<const int32_t *> channels;
    for (size_t card = from; card < to; ++card) {
        channels.clear();
        const size_t count = std::bitset<8>(m_plan.masks[card]).count();
        for (size_t k = 0; k < count; ++k)
            channels.push_back(counts + (m_firstChannel[card] + k) * scans);
        if (!m_cards[card]->write(channels.data(), unsigned(scans)))
            return false;
    }
    return true;
}

bool FlacRecordingWriter::write(const int32_t *counts, const uint32_t *seconds, const uint32_t *nanoseconds) {
    // The cards' streams are independent, so they are encoded side by side: 64 cards need
    // more than one core.
    const size_t cards = m_cards.size();
    const size_t workers = std::min<size_t>(cards, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> helpers;
    std::vector<char> helped(workers, 1);
    std::vector<int> causes(workers, 0);
    for (size_t w = 1; w < workers; ++w)
        helpers.emplace_back([&, w] {
            errno = 0;
            helped[w] = writeCards(cards * w / workers, cards * (w + 1) / workers, counts);
            causes[w] = errno;
        });
    bool ok = writeCards(0, cards / workers, counts);
    int cause = errno;
    for (size_t w = 1; w < workers; ++w) {
        helpers[w - 1].join();
        if (ok && !helped[w]) {
            ok = false;
            cause = causes[w];
        }
    }
    if (ok && m_times) {
        const int32_t *times[] = {reinterpret_cast<const int32_t *>(seconds),
                                  reinterpret_cast<const int32_t *>(nanoseconds)};
        ok = seconds && nanoseconds && m_times->write(times, unsigned(m_plan.scans));
        cause = errno;
    }
    errno = cause;
    return ok;
}

bool FlacRecordingWriter::flush() {
    for (auto &card : m_cards)
        if (!card->flush())
            return false;
    return !m_times || m_times->flush();
}

uint64_t FlacRecordingWriter::bytes() const {
    uint64_t sum = m_times ? m_times->flushedBytes() : 0;
    for (const auto &card : m_cards)
        sum += card->flushedBytes();
    return sum;
}

uint64_t FlacRecordingWriter::wholeBlocks() const {
    if (m_cards.empty() || m_plan.scans <= 0)
        return 0;
    uint64_t scans = m_times ? m_times->flushedScans() : UINT64_MAX;
    for (const auto &card : m_cards)
        scans = std::min(scans, card->flushedScans());
    return scans / uint64_t(m_plan.scans);
}

void FlacRecordingWriter::cutBack() {
    for (auto &card : m_cards)
        card->cutBack();
    if (m_times)
        m_times->cutBack();
}

bool FlacRecordingWriter::finish() {
    bool ok = true;
    int cause = 0;
    for (auto &card : m_cards)
        if (!card->finish() && ok) {
            ok = false;
            cause = errno;
        }
    if (m_times && !m_times->finish() && ok) {
        ok = false;
        cause = errno;
    }
    errno = cause;
    return ok;
}

bool FlacRecordingWriter::countsOfVolts(const double *volts, int32_t *counts, int channels, int scans,
                                        const double *lsb) {
    bool exact = true;
    const size_t n = size_t(channels) * size_t(scans);
    for (size_t i = 0; i < n; ++i) {
        const double step = lsb[i / size_t(scans)];
        const double count = std::nearbyint(volts[i] / step);
        // The nearest count still goes to the display when the value is not exact.
        const double held = std::min(std::max(count, double(kMinCount)), double(kMaxCount));
        counts[i] = int32_t(held);
        // What the reader makes of the count, bit for bit: -0 V would come back as +0 V.
        const double back = counts[i] * step;
        exact = exact && held == count && std::memcmp(&back, &volts[i], sizeof back) == 0;
    }
    return exact;
}

bool FlacRecordingWriter::fits(const int32_t *counts, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (counts[i] < kMinCount || counts[i] > kMaxCount)
            return false;
    return true;
}
