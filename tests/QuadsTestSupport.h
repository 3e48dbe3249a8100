#pragma once
// What the tests of Quads and Sprites share: a recording device published as the framework's
// device, read-backs of its buffers, and a vertex buffer that refuses to be locked.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "DXFramework.h"
#include "d3d9/DeviceFactory.h"
#include "d3d9/d3d9.h"

// The elements of one vertex as stored in the buffers.
struct Float2 {
    float x, y;
    bool operator==(const Float2& o) const { return x == o.x && y == o.y; }
};
struct Float3 {
    float x, y, z;
    bool operator==(const Float3& o) const { return x == o.x && y == o.y && z == o.z; }
};
inline std::ostream& operator<<(std::ostream& os, const Float2& v)
{
    return os << "(" << v.x << ", " << v.y << ")";
}
inline std::ostream& operator<<(std::ostream& os, const Float3& v)
{
    return os << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}

// A recording device published as the framework's device for the length of a test, with a
// shader pair bound so that its draws are valid. TearDown checks that nothing of the device was
// left alive.
class RecordingQuadsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(MakeRecordingDevice(&device, 64, 48), D3D_OK);
        ASSERT_EQ(device->CreateVertexShader("void main() {}", &vertexShader, nullptr), D3D_OK);
        ASSERT_EQ(device->CreatePixelShader("void main() {}", &pixelShader, nullptr), D3D_OK);
        ASSERT_EQ(device->SetVertexShader(vertexShader), D3D_OK);
        ASSERT_EQ(device->SetPixelShader(pixelShader), D3D_OK);
        DXFramework::SetDevice(device);
        ClearRecordedCalls(device);
    }

    void TearDown() override
    {
        DXFramework::SetDevice(nullptr);
        DXFramework::SetDeviceLostHandler(nullptr);
        if (vertexShader)
            vertexShader->Release();
        if (pixelShader)
            pixelShader->Release();
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "objects of the device were left alive";
        }
    }

    // Drops the device's bindings of a batch's declaration, streams and indices.
    void Unbind()
    {
        for (UINT stream = 0; stream < 5; ++stream)
            device->SetStreamSource(stream, nullptr, 0, 0);
        device->SetIndices(nullptr);
        device->SetVertexDeclaration(nullptr);
    }

    // The names of the objects the recorded Create<kind> calls made, in order.
    std::vector<std::string> Made(const std::string& method) const
    {
        std::vector<std::string> names;
        for (const std::string& arguments : Calls(method))
            names.push_back(arguments.substr(arguments.rfind(", ") + 2));
        return names;
    }

    // The recorded calls of one method, as "arguments" texts.
    std::vector<std::string> Calls(const std::string& method) const
    {
        std::vector<std::string> found;
        for (const RecordedCall& call : GetRecordedCalls(device)) {
            if (call.method == method)
                found.push_back(call.arguments);
        }
        return found;
    }

    // The buffer's contents as elements of T, read through a read-only lock.
    template <typename T, typename Buffer>
    std::vector<T> Read(Buffer* buffer)
    {
        std::vector<T> values;
        void* data = nullptr;
        if (buffer == nullptr || buffer->Lock(0, 0, &data, D3DLOCK_READONLY) != D3D_OK) {
            ADD_FAILURE() << "the buffer cannot be read";
            return values;
        }
        UINT size = 0;
        if constexpr (std::is_same_v<Buffer, IDirect3DIndexBuffer9>) {
            D3DINDEXBUFFER_DESC desc{};
            buffer->GetDesc(&desc);
            size = desc.Size;
        } else {
            D3DVERTEXBUFFER_DESC desc{};
            buffer->GetDesc(&desc);
            size = desc.Size;
        }
        values.resize(size / sizeof(T));
        std::memcpy(values.data(), data, values.size() * sizeof(T));
        buffer->Unlock();
        return values;
    }

    IDirect3DDevice9* device = nullptr;
    IDirect3DVertexShader9* vertexShader = nullptr;
    IDirect3DPixelShader9* pixelShader = nullptr;
};

// A vertex buffer whose every Lock fails with a chosen code. Like a careless driver it still
// hands out a pointer (to bytes of its own), so that a caller writing after a failed lock shows
// up in `scratch` instead of crashing.
class RefusingVertexBuffer final : public IDirect3DVertexBuffer9 {
public:
    static constexpr unsigned char kUntouched = 0xAB;

    RefusingVertexBuffer(HRESULT result, UINT size) : result(result), scratch(size, kUntouched) {}

    ULONG AddRef() override { return ++references; }
    ULONG Release() override
    {
        const ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT GetDevice(IDirect3DDevice9** device) override
    {
        if (device)
            *device = nullptr;
        return D3DERR_INVALIDCALL;
    }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT, UINT, void** data, DWORD) override
    {
        if (data)
            *data = scratch.data();
        return result;
    }
    HRESULT Unlock() override { return D3DERR_INVALIDCALL; }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override
    {
        if (!desc)
            return D3DERR_INVALIDCALL;
        *desc = D3DVERTEXBUFFER_DESC{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, 0, D3DPOOL_DEFAULT,
                                     static_cast<UINT>(scratch.size()), 0};
        return D3D_OK;
    }

    bool Untouched() const
    {
        for (unsigned char byte : scratch) {
            if (byte != kUntouched)
                return false;
        }
        return true;
    }

private:
    ULONG references = 1;
    HRESULT result;
    std::vector<unsigned char> scratch;
};

// Puts `replacement` where `slot` was, releasing what was there.
inline void ReplaceBuffer(IDirect3DVertexBuffer9*& slot, IDirect3DVertexBuffer9* replacement)
{
    if (slot)
        slot->Release();
    slot = replacement;
}
