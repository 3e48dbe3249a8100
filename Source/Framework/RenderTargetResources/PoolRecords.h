#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DXFramework.h"
#include "FrameworkEx.h"
#include "d3d9/d3d9.h"

// What the three render-target pools share: records that are appended and never removed or
// moved, handed out by index; an idle record (usage 0) of the requested description is taken
// before anything new is made. Each pool supplies how its records' Direct3D objects are made and
// released.
template <typename Record>
class PoolRecords {
public:
    static constexpr DWORD InvalidHandle = 0xFFFFFFFFu;

    // The handle of the first idle record `matches` accepts, now held; InvalidHandle for none.
    template <typename Match>
    DWORD TakeIdle(Match matches)
    {
        for (DWORD handle = 0; handle < records.size(); ++handle) {
            Record& record = *records[handle];
            if (record.usage == 0 && matches(record)) {
                record.usage = 1;
                return handle;
            }
        }
        return InvalidHandle;
    }

    // Appends a record as held and returns its handle.
    DWORD AppendHeld(std::unique_ptr<Record> record)
    {
        record->usage = 1;
        records.push_back(std::move(record));
        return static_cast<DWORD>(records.size() - 1);
    }

    // Makes a held record idle; InvalidHandle is nothing to give back; `outOfRange` is thrown
    // for any other handle without a record.
    void Unrequest(DWORD handle, const char* outOfRange)
    {
        if (handle == InvalidHandle)
            return;
        Record* record = Get(handle, outOfRange);
        if (record->usage > 0)
            --record->usage;
    }

    Record* Get(DWORD handle, const char* outOfRange) const
    {
        if (handle >= records.size())
            throw FrameworkEx(outOfRange);
        return records[handle].get();
    }

    // Lets every record's Direct3D objects go; the records stay.
    template <typename Release>
    void ReleaseObjects(Release release)
    {
        for (const std::unique_ptr<Record>& record : records)
            release(*record);
    }

    // Makes the objects of every record that has none again. `create` returns false when the
    // device was lost (the framework's device-lost handling has then run): the rest stay released.
    // By index: that handling may re-enter the pool.
    template <typename HasObjects, typename Create>
    void RecreateObjects(const char* operation, HasObjects hasObjects, Create create)
    {
        if (records.empty())
            return;
        IDirect3DDevice9* device = RequireDevice(operation);
        for (std::size_t i = 0; i < records.size(); ++i) {
            Record& record = *records[i];
            if (!hasObjects(record) && !create(device, record))
                return;
        }
    }

    // Releases every record's objects and forgets the records.
    template <typename Release>
    void Clear(Release release)
    {
        ReleaseObjects(release);
        records.clear();
    }

    DWORD Count() const { return static_cast<DWORD>(records.size()); }

    // The first record `matches` accepts, held or idle; null for none.
    template <typename Match>
    const Record* Find(Match matches) const
    {
        for (const std::unique_ptr<Record>& record : records)
            if (matches(*record))
                return record.get();
        return nullptr;
    }

    // The sum of `bytesOf` over the records.
    template <typename Bytes>
    std::uint64_t Sum(Bytes bytesOf) const
    {
        std::uint64_t bytes = 0;
        for (const std::unique_ptr<Record>& record : records)
            bytes += bytesOf(*record);
        return bytes;
    }

    // The framework's device; `operation` names the caller in the error when there is none.
    static IDirect3DDevice9* RequireDevice(const char* operation)
    {
        IDirect3DDevice9* device = DXFramework::GetDevice();
        if (!device)
            throw FrameworkEx(std::string(operation) + ": there is no Direct3D device.");
        return device;
    }

private:
    std::vector<std::unique_ptr<Record>> records;
};
