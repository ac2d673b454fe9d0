// The function registry: a numbered list of named functions, each with a
// private byte buffer and a handler that RunIt calls with the item's number
// and buffer. A popup menu linked to a registry hands the buffer of one chosen
// item to its click events. Main thread only.
#pragma once

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TkwFunctions;

class TkwFunctionItem {
public:
    using TkwFunctionItemEvent = std::function<void(int AFunctionID, void *BufferPointer, uint32_t Size)>;

    explicit TkwFunctionItem(TkwFunctions *collection) : FCollection(collection) {}

    QString Name;
    TkwFunctionItemEvent OnExecute;
    QString Description;
    QString ShortDescription;

    // Stores a copy of ABufferSize bytes of ABuffer as the item's block
    // (replacing the previous one); size 0 (or no source) changes nothing.
    void SetBuffer(const void *ABuffer, uint32_t ABufferSize);
    // Copies the item's block into ABuffer when it has one and it fits into
    // ACapacity bytes; true when bytes were copied.
    bool GetBuffer(void *ABuffer, size_t ACapacity) const;
    uint32_t GetBufferSize() const { return uint32_t(FBuffer.size()); }
    // The item's own block (null when empty) and its size.
    void *BufferPointer() { return FBuffer.empty() ? nullptr : FBuffer.data(); }
    uint32_t BufferSize() const { return uint32_t(FBuffer.size()); }
    // Resizes the block, keeping its first bytes and zero-filling the rest.
    void SetBufferSize(uint32_t size) { FBuffer.resize(size); }

    // Calls OnExecute(ItemID, own block, size) when bound.
    void RunIt();

    uint32_t ItemID() const { return FItemID; }
    QString GetDisplayName() const;
    TkwFunctions *GetOwner() const { return FCollection; }

private:
    friend class TkwFunctions;
    TkwFunctions *FCollection;
    std::vector<uint8_t> FBuffer;
    uint32_t FItemID = 0;
};

class TkwFunctions {
public:
    explicit TkwFunctions(QObject *AOwner) : FOwner(AOwner) {}
    TkwFunctions(const TkwFunctions &) = delete;
    TkwFunctions &operator=(const TkwFunctions &) = delete;

    // Appends an item. An unnamed item gets the first free "Item<n>" (names
    // compared without case) and the number n; a named one keeps number 0.
    TkwFunctionItem &Add(const QString &name = QString());
    int Count() const { return int(FItems.size()); }
    // nullptr for an index out of range.
    TkwFunctionItem *Items(int index) const;
    bool Delete(int index);
    void Clear() { FItems.clear(); }
    // Replaces the items by copies (names, numbers, handlers, buffers).
    void Assign(const TkwFunctions &source);
    QObject *GetOwner() const { return FOwner; }

private:
    void SetItemName(TkwFunctionItem &item) const;
    QObject *FOwner;
    std::vector<std::unique_ptr<TkwFunctionItem>> FItems;
};

class TkwFunctionManager : public QObject {
    Q_OBJECT
public:
    explicit TkwFunctionManager(QObject *AOwner = nullptr) : QObject(AOwner), FItems(this) {}
    TkwFunctions &Items() { return FItems; }
    const TkwFunctions &Items() const { return FItems; }
    void SetItems(const TkwFunctions &source) { FItems.Assign(source); }

private:
    TkwFunctions FItems;
};
