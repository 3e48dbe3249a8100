#include "d3d9/recording/RecordingQuery.h"

#include <utility>

#include "d3d9/D3DValidation.h"
#include "d3d9/recording/RecordingCallText.h"
#include "d3d9/recording/RecordingDevice.h"

bool RecordingQuery::Supported(D3DQUERYTYPE type)
{
    switch (type) {
    case D3DQUERYTYPE_EVENT:
    case D3DQUERYTYPE_OCCLUSION:
    case D3DQUERYTYPE_TIMESTAMP:
    case D3DQUERYTYPE_TIMESTAMPDISJOINT:
    case D3DQUERYTYPE_TIMESTAMPFREQ:
        return true;
    default:
        return false;
    }
}

RecordingQuery::RecordingQuery(RecordingDevice* device, std::string name, D3DQUERYTYPE type)
    : RecordingObject(device, std::move(name), false), type_(type)
{
}

DWORD RecordingQuery::DataSize() const
{
    switch (type_) {
    case D3DQUERYTYPE_TIMESTAMP:
    case D3DQUERYTYPE_TIMESTAMPFREQ:
        return sizeof(std::uint64_t);
    case D3DQUERYTYPE_OCCLUSION:
        return sizeof(DWORD);
    default:
        return sizeof(BOOL);
    }
}

D3DQUERYTYPE RecordingQuery::GetType()
{
    Device()->Record("GetType", RecordingCallText().Object(this).Take(), D3D_OK);
    return type_;
}

DWORD RecordingQuery::GetDataSize()
{
    Device()->Record("GetDataSize", RecordingCallText().Object(this).Take(), D3D_OK);
    return DataSize();
}

HRESULT RecordingQuery::Issue(DWORD dwIssueFlags)
{
    bool beginAllowed = type_ == D3DQUERYTYPE_OCCLUSION || type_ == D3DQUERYTYPE_TIMESTAMPDISJOINT;
    HRESULT hr = D3D_OK;
    if (dwIssueFlags == D3DISSUE_END) {
        progress_ = Progress::Done;
        if (type_ == D3DQUERYTYPE_TIMESTAMP) {
            timestamp_ = Device()->NextTimestamp();
        }
    } else if (dwIssueFlags != D3DISSUE_BEGIN || !beginAllowed) {
        hr = D3DERR_INVALIDCALL;
    } else {
        progress_ = Progress::Building;
    }
    Device()->Record("Issue", RecordingCallText().Object(this).Hex(dwIssueFlags).Take(), hr);
    return hr;
}

HRESULT RecordingQuery::GetData(void* pData, DWORD dwSize, DWORD dwGetDataFlags)
{
    HRESULT hr = CheckD3DQueryGetData(pData, dwSize, dwGetDataFlags);
    if (hr == D3D_OK && Device()->IsLost()) {
        hr = D3DERR_DEVICELOST;
    } else if (hr == D3D_OK && progress_ != Progress::Done) {
        // Never issued, or between BEGIN and END: nothing to report yet.
        hr = S_FALSE;
    } else if (hr == D3D_OK) {
        std::uint64_t wide = 0;
        DWORD narrow = 0;
        switch (type_) {
        case D3DQUERYTYPE_TIMESTAMP: wide = timestamp_; break;
        case D3DQUERYTYPE_TIMESTAMPFREQ: wide = 1000000000u; break;
        case D3DQUERYTYPE_EVENT: narrow = TRUE; break;
        default: narrow = 0; break;
        }
        // As much of the result as the caller has room for.
        if (DataSize() == sizeof wide) {
            D3DCopyQueryResult(&wide, sizeof wide, pData, dwSize);
        } else {
            D3DCopyQueryResult(&narrow, sizeof narrow, pData, dwSize);
        }
    }
    Device()->Record("GetData", RecordingCallText().Object(this).Unsigned(dwSize).Hex(dwGetDataFlags).Take(), hr);
    return hr;
}
