#include "config/kwCommandSetting.h"

#include <algorithm>
#include <climits>

TkwCommand &TkwCommands::Add(TkwCommand AItem)
{
    FItems.push_back(std::make_unique<TkwCommand>(std::move(AItem)));
    TkwCommand &item = *FItems.back();
    SetItemName(item);
    return item;
}

TkwCommand *TkwCommands::Items(int Index)
{
    return Index >= 0 && Index < Count() ? FItems[size_t(Index)].get() : nullptr;
}

const TkwCommand *TkwCommands::Items(int Index) const
{
    return Index >= 0 && Index < Count() ? FItems[size_t(Index)].get() : nullptr;
}

void TkwCommands::Delete(int Index)
{
    if (Index >= 0 && Index < Count())
        FItems.erase(FItems.begin() + Index);
}

void TkwCommands::Assign(const TkwCommands &Source)
{
    if (&Source == this)
        return;
    std::vector<std::unique_ptr<TkwCommand>> copies;
    copies.reserve(Source.FItems.size());
    for (const auto &item : Source.FItems)
        copies.push_back(std::make_unique<TkwCommand>(*item));
    FItems = std::move(copies);
}

// The smallest n from 1 whose "Command<n>" no item (the new one included) carries,
// compared without regard to case; a name already given is kept.
void TkwCommands::SetItemName(TkwCommand &Item) const
{
    if (!Item.Name.isEmpty())
        return;
    for (int n = 1; n < INT_MAX; ++n) {
        const QString candidate = QStringLiteral("Command%1").arg(n);
        const bool taken = std::any_of(FItems.begin(), FItems.end(), [&](const auto &other) {
            return other->Name.compare(candidate, Qt::CaseInsensitive) == 0;
        });
        if (!taken) {
            Item.Name = candidate;
            return;
        }
    }
}

bool TkwCommandSetting::Run(TkwGetSet AType, void *Buffer, int Size)
{
    if (Size < 0)
        return false;
    // By index: a handler may add commands; those run in this call as well.
    for (int i = 0; i < FCommands.Count(); ++i) {
        const TkwCommand *command = FCommands.Items(i);
        if (!command || !command->OnExecute)
            continue;
        // A copy: the handler may delete its own command.
        const TOnGetAndSetSetting handler = command->OnExecute;
        handler(AType, Buffer, std::uint32_t(Size));
    }
    return true;
}
