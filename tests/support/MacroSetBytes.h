#pragma once
// Everything a macro database object holds in memory, as bytes, to compare
// the object with itself at another moment.

#include "core/kwMacroClassUnit.h"

#include <QByteArray>

namespace hkt::testfixtures {

// The image, the sets, the current set and its macros, and the working list
// with its current macro.
inline QByteArray MacroSetObjectBytes(const TkwMacroSetClass &d)
{
    const auto raw = [](const auto &v) { return QByteArray(reinterpret_cast<const char *>(&v), sizeof v); };
    QByteArray b = raw(d.MacroSetDB());
    for (const TkwMacroListOfMacroSet &set : d.MacroSetList())
        b += raw(set);
    b += "|current set " + QByteArray::number(d.CurrentMacroSetIndex()) + d.CurrentMacroSetName().toUtf8() + "|";
    for (const TMACROKEYINFO &m : d.CurrentMacroKeyInfoList())
        b += raw(m);
    b += "|working list, current " + QByteArray::number(d.CurrentMacroClass()->MacroListIndex()) + "|";
    for (const TMACROKEYINFO &m : d.CurrentMacroClass()->MacroKeyInfoList())
        b += raw(m);
    return b;
}

} // namespace hkt::testfixtures
