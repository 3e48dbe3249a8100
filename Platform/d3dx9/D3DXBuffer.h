#pragma once
#include <string>
#include <vector>

#include "d3dx9/d3dx9core.h"

// ID3DXBuffer over a byte vector.
class D3DXBuffer : public ID3DXBuffer {
public:
    explicit D3DXBuffer(std::vector<BYTE> bytes) : bytes_(std::move(bytes)) {}
    // A buffer holding the text and its terminating zero, as D3DX hands out error messages.
    static D3DXBuffer* FromText(const std::string& text);

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    LPVOID GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

private:
    std::vector<BYTE> bytes_;
    ULONG refs_ = 1;
};
