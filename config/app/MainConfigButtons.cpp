#include "config/app/MainConfigButtons.h"

#include "config/app/MainConfigHost.h"

#include <QWidget>

TMainConfigButtons::TMainConfigButtons(TMainConfigHost &AHost, QWidget *AContainer) : QObject(AContainer), FHost(AHost), FContainer(AContainer)
{
}

void TMainConfigButtons::kwCommandSetting1Commands0Execute() {}
void TMainConfigButtons::BuildMacroSubmenu() {}
void TMainConfigButtons::ShowMouseView(int AView)
{
    FView = AView == 1 ? 1 : 0;
}
