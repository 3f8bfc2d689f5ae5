#include "app/Beeper.h"

#include "app/tone/TonePlayer.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>
#include <QtGlobal>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace ct::app {

namespace {

#if !defined(Q_OS_WIN) && defined(CT_HAVE_MULTIMEDIA)

// Where the sound output module may be: beside the installed program, then
// in the build tree.
QStringList ToneModulePaths()
{
    QStringList paths;
    // Asked without an application object, Qt would warn on standard error.
    if (QCoreApplication::instance() != nullptr)
        paths.append(QCoreApplication::applicationDirPath() + QStringLiteral("/" CT_TONE_MODULE_FROM_BIN "/")
                     + QLatin1String(ToneModuleFile));
    paths.append(QStringLiteral(CT_TONE_MODULE_BUILD_DIR "/") + QLatin1String(ToneModuleFile));
    return paths;
}

// The module's player, or null where it is missing or does not load. The
// module stays loaded for the rest of the run: its thread may outlive the
// player.
std::unique_ptr<TonePlayer> LoadTonePlayer()
{
    for (const QString& path : ToneModulePaths()) {
        QLibrary module(path);
        if (!module.load())
            continue;
        if (auto make = reinterpret_cast<MakeTonePlayer>(module.resolve(TonePlayerFactory)))
            return std::unique_ptr<TonePlayer>(make());
    }
    return nullptr;
}

#endif

}  // namespace

ToneBeeper::ToneBeeper() = default;

ToneBeeper::~ToneBeeper() = default;

void ToneBeeper::Beep(int frequencyHz, int durationMs)
{
    if (frequencyHz <= 0 || durationMs <= 0)
        return;
#ifdef Q_OS_WIN
    ::Beep(static_cast<DWORD>(frequencyHz), static_cast<DWORD>(durationMs));
#elif defined(CT_HAVE_MULTIMEDIA)
    if (!loadTried_) {
        loadTried_ = true;
        player_ = LoadTonePlayer();
    }
    if (player_)
        player_->Play(frequencyHz, durationMs);
#endif
}

}  // namespace ct::app
