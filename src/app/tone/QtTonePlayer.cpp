// The sound output of the tone beeper, loaded at the first beep (TonePlayer.h):
// a generated sine on the default audio output, played from a thread of its
// own.
#include "app/Beeper.h"
#include "app/tone/TonePlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

namespace ct::app {

namespace {

constexpr int PollMs = 10;
constexpr int StopThreadMs = 2000;

thread_local bool onAudioThread = false;
QtMessageHandler previousHandler = nullptr;

// The beep is best-effort: what the audio layers say about a missing or
// failing sound server (Qt's PulseAudio back-end prints
// "PulseAudioService: pa_context_connect() failed" on a machine without one)
// is not for the technician, so it never reaches standard error. Messages
// from the sound server's own threads carry only their text.
void DropAudioMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const bool audio = onAudioThread || message.startsWith(QLatin1String("PulseAudioService"))
                       || (context.category != nullptr
                           && std::strncmp(context.category, "qt.multimedia", 13) == 0);
    if (!audio && previousHandler != nullptr)
        previousHandler(type, context, message);
}

void KeepAudioQuiet()
{
    static const bool installed = [] {
        previousHandler = qInstallMessageHandler(DropAudioMessages);
        return true;
    }();
    (void)installed;
}

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
class QtTonePlayer final : public TonePlayer {
public:
    ~QtTonePlayer() override
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

    void Play(int frequencyHz, int durationMs) override
    {
        if (!thread_) {
            thread_ = std::make_unique<QThread>();
            context_ = new QObject;
            context_->moveToThread(thread_.get());
            QObject::connect(
                thread_.get(), &QThread::started, thread_.get(), [] { onAudioThread = true; },
                Qt::DirectConnection);
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
        done->tryAcquire(1, durationMs + ToneBeeper::MarginMs);
    }

private:
    std::unique_ptr<QThread> thread_;
    QObject* context_ = nullptr;  // lives on thread_
};

}  // namespace ct::app

extern "C" Q_DECL_EXPORT ct::app::TonePlayer* ct_make_tone_player()
{
    // Before anything of Qt Multimedia runs.
    ct::app::KeepAudioQuiet();
    return new ct::app::QtTonePlayer;
}
