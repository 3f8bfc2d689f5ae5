#include "app/Beeper.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(CT_HAVE_MULTIMEDIA)
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#endif

namespace ct::app {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int RampMs = 5;
constexpr double Amplitude = 0.5;

}  // namespace

std::vector<float> ToneSamples(int frequencyHz, int durationMs, int sampleRate)
{
    if (frequencyHz <= 0 || durationMs <= 0 || sampleRate <= 0)
        return {};
    const auto count = static_cast<std::size_t>(static_cast<std::int64_t>(sampleRate) * durationMs / 1000);
    const std::size_t ramp =
        std::min(static_cast<std::size_t>(static_cast<std::int64_t>(sampleRate) * RampMs / 1000), count / 2);
    const double step = 2 * Pi * frequencyHz / sampleRate;
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        double gain = Amplitude;
        const std::size_t edge = std::min(i, count - 1 - i);
        if (edge < ramp)
            gain *= 0.5 - 0.5 * std::cos(Pi * static_cast<double>(edge) / static_cast<double>(ramp));
        samples[i] = static_cast<float>(gain * std::sin(step * static_cast<double>(i)));
    }
    return samples;
}

#if !defined(Q_OS_WIN) && defined(CT_HAVE_MULTIMEDIA)

namespace {

constexpr int PollMs = 10;
constexpr int StopThreadMs = 2000;

QAudioFormat ChooseFormat(const QAudioDevice& device)
{
    const QAudioFormat preferred = device.preferredFormat();
    QAudioFormat mono = preferred;
    mono.setChannelCount(1);
    mono.setSampleFormat(QAudioFormat::Int16);
    return device.isFormatSupported(mono) ? mono : preferred;
}

template <typename T>
void Put(char*& out, T value)
{
    std::memcpy(out, &value, sizeof value);
    out += sizeof value;
}

// The samples in the device's format, the same on every channel; empty for a
// format this does not know.
QByteArray Render(const std::vector<float>& samples, const QAudioFormat& format)
{
    const int channels = std::max(1, format.channelCount());
    QByteArray pcm(static_cast<qsizetype>(samples.size()) * channels * format.bytesPerSample(), '\0');
    char* out = pcm.data();
    for (const float v : samples) {
        for (int c = 0; c < channels; ++c) {
            switch (format.sampleFormat()) {
            case QAudioFormat::UInt8:
                Put(out, static_cast<std::uint8_t>(128 + std::lround(v * 127.0)));
                break;
            case QAudioFormat::Int16:
                Put(out, static_cast<std::int16_t>(std::lround(v * 32767.0)));
                break;
            case QAudioFormat::Int32:
                Put(out, static_cast<std::int32_t>(std::llround(v * 2147483647.0)));
                break;
            case QAudioFormat::Float:
                Put(out, v);
                break;
            default:
                return {};
            }
        }
    }
    return pcm;
}

// One tone on the audio thread, pushed to the output as it makes room;
// releases `done` and deletes itself when the tone has ended, the output
// failed, or the margin ran out.
class Playback final : public QObject {
public:
    Playback(const QAudioDevice& device, const QAudioFormat& format, const QByteArray& pcm,
             int durationMs, std::shared_ptr<QSemaphore> done, QObject* parent)
        : QObject(parent), sink_(device, format), pcm_(pcm), frameBytes_(std::max(1, format.bytesPerFrame())),
          durationMs_(durationMs), done_(std::move(done))
    {
        connect(&poll_, &QTimer::timeout, this, &Playback::Check);
        // Room for the whole tone, so that it is handed over at once.
        sink_.setBufferSize(pcm_.size());
        clock_.start();
        output_ = sink_.start();
        Feed();
        poll_.start(PollMs);
    }

    ~Playback() override
    {
        sink_.stop();
        done_->release();
    }

private:
    void Feed()
    {
        if (!output_)
            return;
        qsizetype room = std::min<qsizetype>(sink_.bytesFree(), pcm_.size() - written_);
        room -= room % frameBytes_;
        if (room > 0) {
            const qint64 n = output_->write(pcm_.constData() + written_, room);
            if (n > 0)
                written_ += n;
        }
    }

    void Check()
    {
        Feed();
        const qint64 elapsed = clock_.elapsed();
        // Idle once everything is written means the output ran dry: the tone
        // has been heard to its end. It cannot end before its length.
        const bool played = written_ == pcm_.size() && sink_.state() == QAudio::IdleState
                            && elapsed >= durationMs_;
        const bool failed = !output_ || sink_.state() == QAudio::StoppedState;
        if (played || failed || elapsed >= durationMs_ + ToneBeeper::MarginMs) {
            poll_.stop();
            deleteLater();
        }
    }

    QAudioSink sink_;
    QIODevice* output_ = nullptr;  // owned by the sink
    QByteArray pcm_;
    qsizetype written_ = 0;
    int frameBytes_;
    QTimer poll_;
    QElapsedTimer clock_;
    int durationMs_;
    std::shared_ptr<QSemaphore> done_;
};

}  // namespace

// The audio thread: the device query, the sink and its timers all live on it,
// so the caller's thread can wait without running an event loop.
class ToneBeeper::Player {
public:
    ~Player()
    {
        if (!thread_)
            return;
        thread_->quit();
        if (!thread_->wait(QDeadlineTimer(StopThreadMs))) {
            // An output that never returns must not hold up the program's
            // end; destroying a running thread would abort it.
            (void)thread_.release();
        }
    }

    void Play(int frequencyHz, int durationMs)
    {
        if (!thread_) {
            thread_ = std::make_unique<QThread>();
            context_ = new QObject;
            context_->moveToThread(thread_.get());
            // Deleted on its own thread as that thread ends, with any playback
            // still in it: their timers cannot be stopped from here.
            QObject::connect(thread_.get(), &QThread::finished, context_, &QObject::deleteLater);
            thread_->start();
        }
        auto done = std::make_shared<QSemaphore>(0);
        QObject* context = context_;
        QMetaObject::invokeMethod(
            context,
            [context, frequencyHz, durationMs, done] {
                const QAudioDevice device = QMediaDevices::defaultAudioOutput();
                if (device.isNull()) {
                    done->release();
                    return;
                }
                const QAudioFormat format = ChooseFormat(device);
                const QByteArray pcm = Render(ToneSamples(frequencyHz, durationMs, format.sampleRate()), format);
                if (pcm.isEmpty()) {
                    done->release();
                    return;
                }
                new Playback(device, format, pcm, durationMs, done, context);
            },
            Qt::QueuedConnection);
        // Bounded even when the output hangs; a late tone then releases a
        // semaphore nobody waits for any more.
        done->tryAcquire(1, durationMs + MarginMs);
    }

private:
    std::unique_ptr<QThread> thread_;
    QObject* context_ = nullptr;  // lives on thread_
};

#else

class ToneBeeper::Player {};

#endif

ToneBeeper::ToneBeeper() : player_(std::make_unique<Player>()) {}

ToneBeeper::~ToneBeeper() = default;

void ToneBeeper::Beep(int frequencyHz, int durationMs)
{
    if (frequencyHz <= 0 || durationMs <= 0)
        return;
#ifdef Q_OS_WIN
    ::Beep(static_cast<DWORD>(frequencyHz), static_cast<DWORD>(durationMs));
#elif defined(CT_HAVE_MULTIMEDIA)
    player_->Play(frequencyHz, durationMs);
#endif
}

}  // namespace ct::app
