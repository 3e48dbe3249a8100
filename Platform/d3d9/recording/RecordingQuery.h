#pragma once
#include <cstdint>
#include <string>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingObject.h"

// A query of the recording device ("query#1"). Results are ready as soon as D3DISSUE_END is issued:
// an event reports TRUE; an occlusion query 0 samples (the recording device does not rasterise);
// a timestamp a count that grows with every issued timestamp; the timestamp frequency 1 GHz; the
// disjoint query FALSE.
class RecordingQuery : public IDirect3DQuery9, public RecordingObject {
public:
    // Whether the recording device makes queries of this type.
    static bool Supported(D3DQUERYTYPE type);

    RecordingQuery(RecordingDevice* device, std::string name, D3DQUERYTYPE type);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }
    D3DQUERYTYPE GetType() override;
    DWORD GetDataSize() override;
    // D3DERR_INVALIDCALL for flags other than D3DISSUE_END, or D3DISSUE_BEGIN for the occlusion and
    // disjoint queries.
    HRESULT Issue(DWORD dwIssueFlags) override;
    // D3DERR_INVALIDCALL for a non-zero size without data or flags other than D3DGETDATA_FLUSH;
    // D3DERR_DEVICELOST while the device is lost; S_FALSE for a query never issued or between
    // D3DISSUE_BEGIN and D3DISSUE_END; else S_OK with as much of the result as dwSize holds.
    HRESULT GetData(void* pData, DWORD dwSize, DWORD dwGetDataFlags) override;

private:
    enum class Progress { NeverIssued, Building, Done };
    DWORD DataSize() const;

    D3DQUERYTYPE type_;
    Progress progress_ = Progress::NeverIssued;
    std::uint64_t timestamp_ = 0;
};
