#include "config/app/MainConfigLight.h"

#include "config/app/MainConfigHost.h"

#include <QWidget>

TMainConfigLight::TMainConfigLight(TMainConfigHost &AHost, QWidget *AContainer) : QObject(AContainer), FHost(AHost), FContainer(AContainer)
{
}

void TMainConfigLight::kwCommandSetting1Commands5Execute() {}
