#include "config/ui/ImageDataBaseUnit.h"

#include "platform/Paths.h"

#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

#include <memory>

namespace hkt::skin {

QString ProgramFolder()
{
    return hkt::platform::ProgramFolder();
}

QString SkinFolderForLanguage(const QString &AProgramFolder, const QString &ALanguageID)
{
    QString base = AProgramFolder;
    base.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    // Only a plain identifier may name a folder: an empty one would make the
    // images folder itself the skin base, and separators or dots could leave it.
    static const QRegularExpression plainId(QStringLiteral("^[0-9A-Za-z_-]+$"));
    if (plainId.match(ALanguageID).hasMatch()) {
        const QString candidate = ResolvePath(base + QStringLiteral("images/") + ALanguageID);
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return ResolvePath(base + QStringLiteral("images/0409"));
}

} // namespace hkt::skin

TImageDataBase::TImageDataBase() : FBasePath(hkt::skin::ProgramFolder()) {}

TImageDataBase::TImageDataBase(const QString &APath)
{
    SetImageBasePath(APath);
}

void TImageDataBase::SetImageBasePath(const QString &APath)
{
    // An empty base would make pictures relative to whatever the current
    // folder happens to be; the program folder is the only sensible base.
    QString p = APath.isEmpty() ? hkt::skin::ProgramFolder() : APath;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    FBasePath = p;
    FIMGDB.clear();
}

const TkwImageData *TImageDataBase::FindCachedImage(const QString &AName) const
{
    for (const TkwImageData &e : FIMGDB) {
        if (e.ImageName == AName)
            return &e;
    }
    return nullptr;
}

QImage TImageDataBase::LoadAndCache(const QString &AName, const QString &APath)
{
    const QString path = hkt::skin::ResolvePath(APath);
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    // A file that does not decode is treated like a missing one: a broken
    // skin file must not stop a window from being built.
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QImage img = reader.read();
    if (img.isNull() || img.width() <= 0 || img.height() <= 0)
        return {};
    FIMGDB.push_back(TkwImageData{AName, path, img});
    return img;
}

bool TImageDataBase::AssignIMAGE(QImage &ATargetImage, const QString &AImageName, const QString &AImageSubPath,
                                 const QString &AImagePath)
{
    if (AImageName == QLatin1String("EMPTY")) {
        ATargetImage = QImage();
        return true;
    }
    if (const TkwImageData *hit = FindCachedImage(AImageName)) {
        ATargetImage = hit->Image;
        return true;
    }
    if (AImageName.isEmpty())
        return false;
    QString path;
    if (!AImagePath.isEmpty()) {
        path = AImagePath + AImageName;
    } else {
        path = FBasePath;
        if (!AImageSubPath.isEmpty())
            path += AImageSubPath + QLatin1Char('/');
        path += AImageName;
    }
    QImage img = LoadAndCache(AImageName, path);
    if (img.isNull())
        return false;
    ATargetImage = img;
    return true;
}

QImage TImageDataBase::IMAGE(const QString &AImageName, const QString &AImagePath)
{
    if (const TkwImageData *hit = FindCachedImage(AImageName))
        return hit->Image;
    if (AImageName.isEmpty())
        return {};
    const QString path = (AImagePath.isEmpty() ? FBasePath : AImagePath) + AImageName;
    return LoadAndCache(AImageName, path);
}

TImageDataBase &GlobalImageDataBase()
{
    static const std::unique_ptr<TImageDataBase> instance = [] {
        auto db = std::make_unique<TImageDataBase>();
        db->SetImageBasePath(hkt::skin::ProgramFolder() + QStringLiteral("Images/0409"));
        return db;
    }();
    return *instance;
}
