#pragma once
// The languages the desktop asks programs to speak, read from the environment
// as programs on a Linux desktop read it.

#include <QProcessEnvironment>
#include <QStringList>

namespace hkt::platform {

// The locale names the user's messages are asked in, first choice first:
// every entry of LANGUAGE (a colon-separated list), then the first of LC_ALL,
// LC_MESSAGES and LANG that is set. Names are as given ("zh_TW.UTF-8",
// "C"); empty entries are left out. LANGUAGE counts whatever the locale (a
// C locale too): the suite draws its own texts, so any language shows.
QStringList DesktopMessageLocales(const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

} // namespace hkt::platform
