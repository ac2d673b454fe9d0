#pragma once
// The command registry: an ordered, named list of commands, each bound to a
// handler of the owning window. One SetData (or GetData) call runs every bound
// handler in list order with the caller's buffer; the configuration window uses
// it to refresh all its pages from the data module in one call.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

enum TkwGetSet : std::uint8_t { kwGet = 0, kwSet = 1 };

// A handler: Buffer is the caller's own buffer (not a copy), BufferSize its bytes.
using TOnGetAndSetSetting = std::function<void(TkwGetSet AType, void *Buffer, std::uint32_t BufferSize)>;

struct TkwCommand {
    QString Name;
    QString Description; // free text, read by nothing
    TOnGetAndSetSetting OnExecute; // may be unbound
};

class TkwCommandSetting;

// The owned collection of commands. Items keep their address while they are in
// the collection.
class TkwCommands {
public:
    explicit TkwCommands(TkwCommandSetting *AOwner) : FOwner(AOwner) {}
    TkwCommands(const TkwCommands &) = delete;
    TkwCommands &operator=(const TkwCommands &) = delete;

    TkwCommandSetting *GetOwner() const { return FOwner; }

    // Appends a command; an empty Name gets the first free "Command<n>".
    TkwCommand &Add(TkwCommand AItem = TkwCommand());
    int Count() const { return int(FItems.size()); }
    // The command at Index, nullptr when Index is out of range.
    TkwCommand *Items(int Index);
    const TkwCommand *Items(int Index) const;
    // The position of an item of this collection, -1 for any other.
    int IndexOf(const TkwCommand *AItem) const;
    void Delete(int Index); // out of range: nothing
    void Clear() { FItems.clear(); }
    // Replaces the items with copies of Source's (the owner keeps its own collection).
    void Assign(const TkwCommands &Source);

private:
    friend class TkwCommandSetting; // takes the list of a call (Run)
    void SetItemName(TkwCommand &Item) const;

    TkwCommandSetting *FOwner;
    // Shared only with a running SetData/GetData, which keeps the items it
    // listed alive so a deleted item's address is never taken by a new one.
    std::vector<std::shared_ptr<TkwCommand>> FItems;
};

class TkwCommandSetting : public QObject {
    Q_OBJECT
public:
    explicit TkwCommandSetting(QObject *AOwner = nullptr) : QObject(AOwner), FCommands(this) {}

    TkwCommands &Commands() { return FCommands; }
    const TkwCommands &Commands() const { return FCommands; }
    void SetCommands(const TkwCommands &Value) { FCommands.Assign(Value); }

    // Run every bound handler in list order with kwGet / kwSet, the caller's
    // buffer and its size. True; false only for a negative size, which would
    // reach the handlers as a huge byte count, so then none runs.
    bool GetData(void *Buffer, int Size) { return Run(kwGet, Buffer, Size); }
    bool SetData(void *Buffer, int Size) { return Run(kwSet, Buffer, Size); }

private:
    bool Run(TkwGetSet AType, void *Buffer, int Size);

    TkwCommands FCommands;
};
