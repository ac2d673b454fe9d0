#include "core/pubunit_device_presets.h"

#include "core/kwKeyCode.h"

namespace {
template <class T>
void CopyEntry(const std::array<T, PRESET_TABLE_SIZE> &table, int index, T &info)
{
    // The menu computes Index from an item id; a bad id must not read outside.
    if (index < 0 || index >= PRESET_TABLE_SIZE)
        return;
    info = table[std::size_t(index)];
}

uint16_t Usage(int vk, int ext)
{
    const int usage = GetHIDCodeByVK(vk, ext);
    return usage == 0xFFFF ? 0 : uint16_t(usage);
}
} // namespace

void GetMediaKeyCode(int Index, THID_CODE_INFO &Info) { CopyEntry(MEDIA_KEY_HID_TABLE, Index, Info); }
void GetBrowserKeyCode(int Index, THID_CODE_INFO &Info) { CopyEntry(BROWSER_KEY_HID_TABLE, Index, Info); }
void GetBasicComboKey(int Index, TCOMBOKEYINFO &Info) { CopyEntry(BASIC_COMBO_KEY_TABLE, Index, Info); }
void GetAdvancedComboKey(int Index, TCOMBOKEYINFO &Info) { CopyEntry(ADVANCED_COMBO_KEY_TABLE, Index, Info); }
void GetTabComboKey(int Index, TCOMBOKEYINFO &Info) { CopyEntry(TAB_COMBO_KEY_TABLE, Index, Info); }

void MakeHIDCodeInfo(int Modifier, int VK1, int Ext1, int VK2, int Ext2, THID_CODE_INFO &Info)
{
    Info.nModifier = uint16_t(Modifier);
    Info.nKeyValue1 = Usage(VK1, Ext1);
    Info.nKeyValue2 = Usage(VK2, Ext2);
}

void MakeComboKeyInfo(int Modifier, int Key1, int Ext1, int Key2, int Ext2, TCOMBOKEYINFO &Info)
{
    Info.nModifier = uint16_t(Modifier);
    Info.nKeyValue1 = uint16_t(Key1);
    Info.nKey1Extended = uint16_t(Ext1);
    Info.nKeyValue2 = uint16_t(Key2);
    Info.nKey2Extended = uint16_t(Ext2);
}
