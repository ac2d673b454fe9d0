#pragma once
// How the profile-file targets turn fuzzer bytes into a file: inputs starting
// with 'P' are stretched past a whole profile, and those starting with 'V'
// also carry the profile version, so the loader's accepting path is reached
// as often as its refusals. Everything else is written as it came.

#include "core/pubunit_device_records.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdlib>
#include <cstring>

inline QByteArray ShapeProfileFileInput(QByteArray input, std::size_t size)
{
    if (input.startsWith('P') || input.startsWith('V')) {
        const bool stamp = input.startsWith('V');
        input = input.mid(1) + QByteArray(qsizetype(PROFILE_RECORD_SIZE) + qsizetype(size % 7), '\0');
        if (stamp)
            std::memcpy(input.data(), &PROFILE_FILE_VERSION, sizeof PROFILE_FILE_VERSION);
    }
    return input;
}

// The file the loader's dialog picks; a harness that cannot write it is broken.
inline void WriteProfileFileInput(const QString &file, const QByteArray &input)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(input) != input.size())
        std::abort();
}
