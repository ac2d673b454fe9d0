#include "config/ui/kwFunctionManager.h"

#include <QSet>

#include <cstring>
#include <limits>

void TkwFunctionItem::SetBuffer(const void *ABuffer, uint32_t ABufferSize)
{
    if (ABufferSize == 0 || !ABuffer)
        return;
    const auto *bytes = static_cast<const uint8_t *>(ABuffer);
    FBuffer.assign(bytes, bytes + ABufferSize);
}

bool TkwFunctionItem::GetBuffer(void *ABuffer, size_t ACapacity) const
{
    if (FBuffer.empty() || !ABuffer || ACapacity < FBuffer.size())
        return false;
    std::memcpy(ABuffer, FBuffer.data(), FBuffer.size());
    return true;
}

void TkwFunctionItem::RunIt()
{
    if (!OnExecute)
        return;
    const auto handler = OnExecute; // the handler may rebind the event
    handler(int(FItemID), BufferPointer(), BufferSize());
}

QString TkwFunctionItem::GetDisplayName() const
{
    return Name.isEmpty() ? QStringLiteral("TkwFunctionItem") : Name;
}

void TkwFunctions::SetItemName(TkwFunctionItem &item) const
{
    if (!item.Name.isEmpty())
        return;
    QSet<QString> taken;
    for (const auto &other : FItems)
        taken.insert(other->Name.toCaseFolded());
    for (int64_t n = 1; n <= std::numeric_limits<int32_t>::max(); ++n) {
        const QString name = QStringLiteral("Item%1").arg(n);
        if (!taken.contains(name.toCaseFolded())) {
            item.Name = name;
            item.FItemID = uint32_t(n);
            return;
        }
    }
}

TkwFunctionItem &TkwFunctions::Add(const QString &name)
{
    auto item = std::make_unique<TkwFunctionItem>(this);
    item->Name = name;
    SetItemName(*item);
    FItems.push_back(std::move(item));
    return *FItems.back();
}

TkwFunctionItem *TkwFunctions::Items(int index) const
{
    return index >= 0 && index < Count() ? FItems[size_t(index)].get() : nullptr;
}

bool TkwFunctions::Delete(int index)
{
    if (index < 0 || index >= Count())
        return false;
    FItems.erase(FItems.begin() + index);
    return true;
}

void TkwFunctions::Assign(const TkwFunctions &source)
{
    if (&source == this)
        return;
    std::vector<std::unique_ptr<TkwFunctionItem>> fresh;
    for (const auto &from : source.FItems) {
        auto copy = std::make_unique<TkwFunctionItem>(this);
        copy->Name = from->Name;
        copy->OnExecute = from->OnExecute;
        copy->Description = from->Description;
        copy->ShortDescription = from->ShortDescription;
        copy->FBuffer = from->FBuffer;
        copy->FItemID = from->FItemID;
        fresh.push_back(std::move(copy));
    }
    FItems.swap(fresh);
}
