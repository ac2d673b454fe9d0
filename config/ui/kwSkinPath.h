// Paths as the suite's files spell them, found on a case-sensitive file
// system. Qt Core only: display-free rules look files up through it too.
#pragma once

#include <QString>

namespace hkt::skin {

// Turns '\' into '/' and resolves every component that does not exist as
// spelt by a case-insensitive match in its parent folder (the exact spelling
// wins; among several case-insensitive matches the first in code-point
// order). Components that match nothing are kept as given, so the result of
// a path that does not exist still names the intended place.
QString ResolvePath(const QString &APath);

} // namespace hkt::skin
