#include "config/ui/kwCommandSetting.h"

#include <algorithm>
#include <climits>

TkwCommand &TkwCommands::Add(TkwCommand AItem)
{
    FItems.push_back(std::make_shared<TkwCommand>(std::move(AItem)));
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

int TkwCommands::IndexOf(const TkwCommand *AItem) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == AItem)
            return int(i);
    return -1;
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
    std::vector<std::shared_ptr<TkwCommand>> copies;
    copies.reserve(Source.FItems.size());
    for (const auto &item : Source.FItems)
        copies.push_back(std::make_shared<TkwCommand>(*item));
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
    // The commands of the call are those listed when it starts, each run once
    // in that order. A handler may change the list: a command deleted before
    // its turn does not run (its item is gone), the others keep their turn
    // although their positions moved, and commands added wait for the next call.
    const std::vector<std::shared_ptr<TkwCommand>> listed = FCommands.FItems;
    for (const std::shared_ptr<TkwCommand> &command : listed) {
        if (FCommands.IndexOf(command.get()) < 0 || !command->OnExecute)
            continue;
        // A copy: the handler may delete its own command.
        const TOnGetAndSetSetting handler = command->OnExecute;
        handler(AType, Buffer, std::uint32_t(Size));
    }
    return true;
}
