// Feeds arbitrary files to the profile-file loader and checks its contract:
// a file is either taken as exactly one profile (store, working copy and
// value all equal its first PROFILE_RECORD_SIZE bytes) or refused with
// nothing changed.
#include "core/DMUnit.h"
#include "core/Function_ProfileFiles.h"

#include "ProfileFileInput.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct World {
    QTemporaryDir tmp;
    std::shared_ptr<hkt::platform::MemoryValueStore> values = std::make_shared<hkt::platform::MemoryValueStore>();
    std::unique_ptr<TDM> dm = std::make_unique<TDM>(TDMRoots{values, tmp.path(), tmp.path() + "/docs"});
    QString file = tmp.path() + "/input.pfd";
};

QByteArray State(TDM &dm)
{
    QByteArray s(reinterpret_cast<const char *>(&dm.FCurrentProfileInfo), sizeof(TMouseProfileInfo));
    s += dm.kwProfileGame3.Image();
    s += char(dm.IsProfileChanged(dm.FProfileIndex));
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static World *world = new World; // lives for the whole run
    QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    input = ShapeProfileFileInput(input, size);
    WriteProfileFileInput(world->file, input);
    world->dm->SetProfileChanged(world->dm->FProfileIndex, false);
    const QByteArray before = State(*world->dm);
    const int result = LoadProfileFileIntoCurrentProfile(*world->dm, world->file);
    if (result == PROFILE_IMPORT_LOADED) {
        const QByteArray profile = input.left(qsizetype(PROFILE_RECORD_SIZE));
        if (world->dm->kwProfileGame3.Image() != profile
            || std::memcmp(&world->dm->FCurrentProfileInfo, profile.constData(), profile.size()) != 0
            || !world->dm->IsProfileChanged(world->dm->FProfileIndex))
            std::abort();
    } else if (result != PROFILE_IMPORT_REFUSED || State(*world->dm) != before) {
        std::abort();
    }
    return 0;
}
