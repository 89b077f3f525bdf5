#include "SoundOutput.h"

#ifdef ORVANE_HAVE_QT_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#endif

#include <cstdio>

namespace orvane {

namespace {

constexpr int kRate = 44100;
constexpr int kFrameBytes = 4;
// The device buffer: short enough for sound to follow the picture closely, long enough
// that a busy event loop (a window being moved) does not starve it.
constexpr int kBufferMs = 120;
// Samples waiting beyond this are dropped: the wall clock ran ahead of the device.
constexpr qsizetype kMaxPendingBytes = kRate * kFrameBytes / 2;

void sayNoDevice() {
    static bool said = false;
    if (!said) {
        said = true;
        std::fputs("orvane: no audio output device; playing without sound\n", stderr);
    }
}

} // namespace

SoundOutput::SoundOutput() {
#ifdef ORVANE_HAVE_QT_MULTIMEDIA
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(kRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    if (device.isNull() || !device.isFormatSupported(format)) {
        sayNoDevice();
        return;
    }
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->setBufferSize(kRate * kFrameBytes * kBufferMs / 1000);
    m_io = m_sink->start();
    if (!m_io) {
        m_sink.reset();
        sayNoDevice();
    }
#else
    sayNoDevice();
#endif
}

SoundOutput::~SoundOutput() {
#ifdef ORVANE_HAVE_QT_MULTIMEDIA
    if (m_sink)
        m_sink->stop();
#endif
}

void SoundOutput::write(std::span<const std::int16_t> samples) {
    if (!m_sink)
        return;
    m_pending.append(reinterpret_cast<const char*>(samples.data()), qsizetype(samples.size() * 2));
    if (m_pending.size() > kMaxPendingBytes)
        m_pending.remove(0, (m_pending.size() - kMaxPendingBytes) / kFrameBytes * kFrameBytes);
    pump();
}

void SoundOutput::pump() {
#ifdef ORVANE_HAVE_QT_MULTIMEDIA
    if (!m_io || m_pending.isEmpty())
        return;
    const qsizetype room = std::min<qsizetype>(m_sink->bytesFree(), m_pending.size()) / kFrameBytes * kFrameBytes;
    if (room <= 0)
        return;
    const qint64 taken = m_io->write(m_pending.constData(), room);
    if (taken > 0) {
        m_pending.remove(0, taken);
        m_written += std::uint64_t(taken) / kFrameBytes;
    }
#endif
}

std::uint64_t SoundOutput::playedFrames() const {
#ifdef ORVANE_HAVE_QT_MULTIMEDIA
    if (m_sink)
        return std::uint64_t(m_sink->processedUSecs()) * kRate / 1000000;
#endif
    return 0;
}

std::uint64_t SoundOutput::queuedFrames() const {
    const std::uint64_t played = playedFrames();
    return (m_written > played ? m_written - played : 0) + std::uint64_t(m_pending.size()) / kFrameBytes;
}

void SoundOutput::flush() {
    m_pending.clear();
}

} // namespace orvane
