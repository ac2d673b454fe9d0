#include "config/app/MainConfigDPI.h"

#include "config/app/MainConfigHost.h"

#include <QWidget>

TMainConfigDPI::TMainConfigDPI(TMainConfigHost &AHost, QWidget *AContainer) : QObject(AContainer), FHost(AHost), FContainer(AContainer)
{
}

void TMainConfigDPI::BindCPIControls() {}
void TMainConfigDPI::kwCommandSetting1Commands1Execute() {}
void TMainConfigDPI::ShowCPILevelSelection() {}
