#pragma once
// The suite's factory settings. They are stored nowhere: the data module's
// stores call these whenever a store has nothing to load and whenever the
// user restores a profile. Each writes only the fields that carry a factory
// value; every other byte keeps what it held (so a RESTORE keeps a profile's
// macro list, lift-off setting and the like).
//
// The record forms work on a whole record; the image forms take a store's
// image as it is: a shorter image is first grown with zero bytes to the
// record's size (so no field is written past its end), a longer one keeps its
// tail.

#include "core/pubunit_device_config.h"
#include "core/pubunit_device_records.h"

#include <QByteArray>
#include <QString>

// Factory profile profileIndex 0..4 (the default profile is profile 0's).
// False, and nothing written, for another index.
bool RestoreProfileDefaults(TMouseProfileInfo &Info, int profileIndex);
bool RestoreProfileImageDefaults(QByteArray &image, int profileIndex);

// The test profile: the whole record is cleared first. An empty image is
// left alone.
void RestoreTestProfileDefaults(TMouseProfileInfo &Info);
void RestoreTestProfileImageDefaults(QByteArray &image);

// The all-settings record: blank entries, the third profile current, the
// display language `language` (a position in the language file; the first
// unless the caller knows the user's).
void RestoreAllGamesDefaults(TALLGAMESINFO &All, std::uint8_t language = 0);
void RestoreAllGamesImageDefaults(QByteArray &image, std::uint8_t language = 0);

// The profile-group record: every profile in the registry under the name
// prefix n ".pfd", its file in documentsProfileFolder (the documents folder's
// profile folder, ending in '/'), its macros in that folder + '/' + prefix n
// "_Macros". A prefix that is unsafe or too long for FileName is replaced by
// the default prefix; a folder too long for its 1023-unit field is stored
// empty rather than cut into a wrong folder (the profile then lives in the
// registry only); each with one diagnostic line.
void RestoreProfileGroupDefaults(TProfileSettingGroup &Group, const TOptionsFromConfigFile &Options,
                                 const QString &documentsProfileFolder);
void RestoreProfileGroupImageDefaults(QByteArray &image, const TOptionsFromConfigFile &Options,
                                      const QString &documentsProfileFolder);

// The factory resolution levels 0..4 (counts per inch, X = Y).
inline constexpr uint16_t DEFAULT_CPI_LEVELS[CPI_LEVELS_IN_USE] = {1000, 2000, 4000, 8200, 16400};
