#include "config/app/MainConfigInfo.h"

#include "config/app/MainConfigHost.h"

#include <QWidget>

TMainConfigInfo::TMainConfigInfo(TMainConfigHost &AHost, QWidget *AContainer) : QObject(AContainer), FHost(AHost), FContainer(AContainer)
{
}

void TMainConfigInfo::FillLanguageBox() {}
void TMainConfigInfo::ApplyLanguage() {}
