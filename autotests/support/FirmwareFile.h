// Firmware files for the window's upgrade tests: WriteFirmware writes one
// into `dir` under `name` and returns its path, or an empty path when the
// file cannot be written.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace ct::testing {

// A firmware file: the header padded with NULs to 16 bytes, then the payload.
inline QString WriteFirmware(const QTemporaryDir& dir, const QString& name, const QByteArray& header,
                             const QByteArray& payload)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QByteArray head = header.left(16);
    head.append(QByteArray(16 - head.size(), '\0'));
    file.write(head + payload);
    return path;
}

}  // namespace ct::testing
