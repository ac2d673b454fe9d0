#include "config/app/MainConfigProfiles.h"

#include "config/app/MainConfigHost.h"

#include <QWidget>

TMainConfigProfiles::TMainConfigProfiles(TMainConfigHost &AHost, QWidget *AContainer) : QObject(AContainer), FHost(AHost), FContainer(AContainer)
{
}

void TMainConfigProfiles::kwCommandSetting1Commands3Execute() {}
void TMainConfigProfiles::BtnProfile1Click(int) {}
