// The skin-picture cache: pictures are read from the skin folder once, kept
// under the file name they were asked for, and handed out as copies.
#pragma once

#include "config/ui/kwSkinPath.h"

#include <QImage>
#include <QString>

#include <vector>

// One cache entry. ImagePath is kept for diagnostics only.
struct TkwImageData
{
    QString ImageName;
    QString ImagePath;
    QImage Image;
};

class TImageDataBase
{
public:
    // Base = the program folder.
    TImageDataBase();
    explicit TImageDataBase(const QString &APath);

    TImageDataBase(const TImageDataBase &) = delete;
    TImageDataBase &operator=(const TImageDataBase &) = delete;

    // The folder pictures are taken from; always ends in a separator.
    QString ImageDBPath() const { return FBasePath; }
    void SetImageBasePath(const QString &APath);

    // Fills ATargetImage with the picture AImageName. Lookup is by file name
    // alone (case-sensitive); a missing or undecodable file leaves the target
    // as it was. "EMPTY" clears the target without touching disk or cache.
    // Returns whether the target was changed.
    bool AssignIMAGE(QImage &ATargetImage, const QString &AImageName, const QString &AImageSubPath,
                     const QString &AImagePath = QString());

    // The picture by name, loaded from AImagePath (or the base folder) on a
    // miss; a null image when there is none.
    QImage IMAGE(const QString &AImageName, const QString &AImagePath = QString());

    const std::vector<TkwImageData> &IMGDB() const { return FIMGDB; }

private:
    const TkwImageData *FindCachedImage(const QString &AName) const;
    // Loads and caches; null image when the file is missing or not a picture.
    QImage LoadAndCache(const QString &AName, const QString &APath);

    QString FBasePath;
    std::vector<TkwImageData> FIMGDB;
};

// The process-wide cache, made on first use with its base at the program
// folder + "Images/0409". Main thread only.
TImageDataBase &GlobalImageDataBase();

namespace hkt::skin {

// The folder the running program lives in, ending in '/' (the platform's).
QString ProgramFolder();

// The skin folder for a language: <program>/images/<id> when that folder
// exists, else <program>/images/0409 (also for an empty or malformed id).
QString SkinFolderForLanguage(const QString &AProgramFolder, const QString &ALanguageID);

} // namespace hkt::skin
