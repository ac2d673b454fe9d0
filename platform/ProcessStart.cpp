#include "platform/ProcessStart.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace hkt::platform {

bool BringWindowForward(const WindowHandle &window)
{
    return PostWindowMessage(window, kActivateWindowMessage, 0, 0);
}

bool StartProgram(const QString &programFolder, const QString &exeName)
{
    if (exeName.isEmpty() || exeName.contains(QLatin1Char('/')))
        return false;
    const QString path = QDir(programFolder).filePath(exeName);
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return false;
    return QProcess::startDetached(path, {}, programFolder);
}

ShowOrStartResult ShowOrStartProgram(const QString &className, const QString &programFolder,
                                     const QString &exeName, const QString &root)
{
    const WindowHandle window = FindWindowByClass(className, root);
    if (window && BringWindowForward(window))
        return ShowOrStartResult::BroughtForward;
    return StartProgram(programFolder, exeName) ? ShowOrStartResult::Started : ShowOrStartResult::Failed;
}

} // namespace hkt::platform
