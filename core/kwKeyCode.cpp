#include "core/kwKeyCode.h"

#include <algorithm>
#include <cstdio>

namespace {

struct KeyLookups {
    std::array<TKeyboardInfoTable, KEY_LOOKUP_SIZE> normal;
    std::array<TKeyboardInfoTable, KEY_LOOKUP_SIZE> extended;
    // Storage of the generated names of entries no table row fills.
    std::array<std::array<char, 20>, KEY_LOOKUP_SIZE> undefinedName;
    std::array<std::array<char, 20>, KEY_LOOKUP_SIZE> undefinedText;

    KeyLookups()
    {
        for (int i = 0; i < KEY_LOOKUP_SIZE; ++i) {
            std::snprintf(undefinedName[i].data(), undefinedName[i].size(), "VK_UNDEFINED_%03X", unsigned(i));
            std::snprintf(undefinedText[i].data(), undefinedText[i].size(), "UNDEFINED_%03X", unsigned(i));
            normal[i] = {undefinedName[i].data(), i, 0, KEY_NOT_EXTENDED, -1, undefinedText[i].data()};
            extended[i] = {undefinedName[i].data(), i, 0, KEY_EXTENDED, -1, undefinedText[i].data()};
        }
        place(normal, VirtualKeyTable);
        place(normal, OEMKeyTable1);
        place(normal, OEMKeyTable2);
        place(extended, ExtendedKeyTable);
        place(extended, ExtendedNavigationKeyTable);
    }

    template <std::size_t N>
    static void place(std::array<TKeyboardInfoTable, KEY_LOOKUP_SIZE> &lookup,
                      const std::array<TKeyboardInfoTable, N> &rows)
    {
        for (const TKeyboardInfoTable &row : rows)
            if (row.VKCode >= 0 && row.VKCode < KEY_LOOKUP_SIZE)
                lookup[std::size_t(row.VKCode)] = row;
    }
};

const KeyLookups &Lookups()
{
    static const KeyLookups lookups;
    return lookups;
}

// The entry a (code, extended flag) pair reads, or nullptr outside 0..299.
const TKeyboardInfoTable *Entry(int64_t vk, int extended)
{
    int e = extended;
    if (extended == 0 || extended == KEY_NOT_EXTENDED)
        e = 0;
    else if (extended == 1 || extended == KEY_EXTENDED)
        e = 1;
    const KeyLookups &l = Lookups();
    if (vk < 0 || vk >= KEY_LOOKUP_SIZE)
        return nullptr;
    const TKeyboardInfoTable &normal = l.normal[std::size_t(vk)];
    if (e == 0)
        return &normal;
    if (e == 1 && normal.Extended == KEY_EXTENDED)
        return &normal;
    return &l.extended[std::size_t(vk)];
}

} // namespace

void InitKeyboardInfoTables()
{
    (void)Lookups();
}

int GetHIDCodeByVK(int64_t VK, int Extended)
{
    const TKeyboardInfoTable *e = Entry(VK, Extended);
    if (!e || e->HIDCode == -1)
        return 0;
    return e->HIDCode;
}

QString GetKeyDescriptionByVK(int64_t VK, int Extended)
{
    const TKeyboardInfoTable *e = Entry(VK, Extended);
    return e ? QString::fromLatin1(e->KeyDescription) : QString();
}

void GetKeyDescriptionByVK(int64_t VK, int Extended, QString &Text)
{
    Text = GetKeyDescriptionByVK(VK, Extended);
}

QString GetModifierText(uint8_t Modifier)
{
    QString text;
    if (Modifier & 1)
        text += QLatin1String("Alt+");
    if (Modifier & 2)
        text += QLatin1String("Ctrl+");
    if (Modifier & 4)
        text += QLatin1String("Shift+");
    if (Modifier & 8)
        text += QLatin1String("WIN+");
    return text;
}

void GetModifierText(uint8_t Modifier, QString &Text)
{
    Text = GetModifierText(Modifier);
}

uint8_t GetHIDModifier(uint8_t Modifier)
{
    uint8_t hid = 0;
    if (Modifier & 1)
        hid |= 4;
    if (Modifier & 2)
        hid |= 1;
    if (Modifier & 4)
        hid |= 2;
    if (Modifier & 8)
        hid |= 8;
    return hid;
}

const TKeyboardInfoTable &NormalKeyInfo(int VK)
{
    return Lookups().normal[std::size_t(std::clamp(VK, 0, KEY_LOOKUP_SIZE - 1))];
}

const TKeyboardInfoTable &ExtendedKeyInfo(int VK)
{
    return Lookups().extended[std::size_t(std::clamp(VK, 0, KEY_LOOKUP_SIZE - 1))];
}
