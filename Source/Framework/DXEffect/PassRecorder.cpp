#include "DXEffect/PassRecorder.h"

#include <algorithm>
#include <cstdio>

#include "DXEffect/DXEffect.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "RenderTargetResources/RTCubeHandler/RTCubeHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "d3d9/D3DFormatInfo.h"

PassRecorder* PassRecorder::active = nullptr;

namespace {

// The faces of a cube target in D3DCUBEMAP_FACES order.
const char* const kFaceNames[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};

double Milliseconds(std::uint64_t from, std::uint64_t to)
{
    // A stamp the GPU reports before the one it follows counts as no time.
    return to > from ? static_cast<double>(to - from) / 1.0e6 : 0.0;
}

} // namespace

std::string PassFormatName(D3DFORMAT format)
{
    if (const D3DFormatInfo* info = FindD3DFormatInfo(format)) {
        const std::string name = info->name;
        const std::string prefix = "D3DFMT_";
        return name.rfind(prefix, 0) == 0 ? name.substr(prefix.size()) : name;
    }
    return std::to_string(static_cast<unsigned long>(format));
}

std::string PassTargetName(IDirect3DSurface9* surface)
{
    if (!surface)
        return "(none)";
    if (surface == DXFramework::GetBackBuffer())
        return "BackBuffer";
    if (const RENDERTEXTURE* record = RTHandler::FindBySurface(surface))
        return record->name.empty() ? "(unnamed)" : record->name;
    int face = 0;
    if (const RENDERCUBETEXTURE* record = RTCubeHandler::FindByFace(surface, &face))
        return (record->name.empty() ? std::string("(unnamed)") : record->name) + kFaceNames[face];
    return "(surface)";
}

std::string PassTextureName(IDirect3DBaseTexture9* texture)
{
    if (!texture)
        return "(none)";
    if (const RENDERTEXTURE* record = RTHandler::FindByTexture(texture))
        return record->name.empty() ? "(unnamed)" : record->name;
    if (const RENDERCUBETEXTURE* record = RTCubeHandler::FindByTexture(texture))
        return record->name.empty() ? "(unnamed)" : record->name;
    std::string file = DXEffectHandler::LoadedTextureFile(texture);
    if (!file.empty())
        return file;
    char text[96] = "(texture)";
    switch (texture->GetType()) {
    case D3DRTYPE_TEXTURE: {
        D3DSURFACE_DESC desc{};
        if (static_cast<IDirect3DTexture9*>(texture)->GetLevelDesc(0, &desc) == D3D_OK)
            std::snprintf(text, sizeof text, "(2D %ux%u %s)", desc.Width, desc.Height,
                          PassFormatName(desc.Format).c_str());
        break;
    }
    case D3DRTYPE_CUBETEXTURE: {
        D3DSURFACE_DESC desc{};
        if (static_cast<IDirect3DCubeTexture9*>(texture)->GetLevelDesc(0, &desc) == D3D_OK)
            std::snprintf(text, sizeof text, "(cube %u %s)", desc.Width, PassFormatName(desc.Format).c_str());
        break;
    }
    case D3DRTYPE_VOLUMETEXTURE: {
        D3DVOLUME_DESC desc{};
        if (static_cast<IDirect3DVolumeTexture9*>(texture)->GetLevelDesc(0, &desc) == D3D_OK)
            std::snprintf(text, sizeof text, "(volume %ux%ux%u %s)", desc.Width, desc.Height, desc.Depth,
                          PassFormatName(desc.Format).c_str());
        break;
    }
    default:
        break;
    }
    return text;
}

PassRecorder::PassRecorder(IDirect3DDevice9* device) : device(device), counter(D3DGetDrawCounter(device))
{
    if (!device)
        throw FrameworkEx("[PassRecorder] There is no Direct3D device to record.");
    D3DXPassObserver* previous = D3DXSetPassObserver(this);
    if (previous || active) {
        D3DXSetPassObserver(previous);
        throw FrameworkEx("[PassRecorder] Passes are being recorded already.");
    }
    active = this;
    device->AddRef();
    D3DCAPS9 caps{};
    if (device->GetDeviceCaps(&caps) == D3D_OK)
        targetSlots = std::clamp<DWORD>(caps.NumSimultaneousRTs, 1, 4);
    if (D3DCreateGpuTimer(device, &timer) != D3D_OK)
        timer = nullptr;
}

PassRecorder::~PassRecorder()
{
    D3DXSetPassObserver(nullptr);
    active = nullptr;
    if (timer) {
        if (inFrame)
            DropStamps(current);
        for (const Pending& pending : inFlight)
            DropStamps(pending);
        timer->Release();
    }
    device->Release();
}

void PassRecorder::FrameBegun()
{
    if (active)
        active->BeginFrame();
}

void PassRecorder::FrameEnded()
{
    if (active)
        active->EndFrame();
}

std::uint64_t PassRecorder::Stamp(bool& ok)
{
    std::uint64_t stamp = 0;
    if (!timer || !ok)
        return 0;
    if (timer->Stamp(&stamp) != D3D_OK) {
        ok = false; // a lost device: the frame goes on untimed
        return 0;
    }
    return stamp;
}

void PassRecorder::DropStamps(const Pending& pending)
{
    if (!timer)
        return;
    auto drop = [&](std::uint64_t stamp) {
        if (stamp)
            timer->Drop(stamp);
    };
    drop(pending.start);
    drop(pending.end);
    for (const auto& [begin, end] : pending.stamps) {
        drop(begin);
        drop(end);
    }
}

void PassRecorder::BeginFrame()
{
    if (inFrame)
        DropStamps(current); // a frame that never ended (an exception) is forgotten
    current = Pending{};
    inFrame = true;
    inPass = false;
    current.timed = timer != nullptr;
    current.start = Stamp(current.timed);
}

void PassRecorder::EndFrame()
{
    if (!inFrame)
        return;
    inFrame = false;
    if (inPass) {
        PassEnded(nullptr);
    }
    current.end = Stamp(current.timed);
    if (!current.timed) {
        DropStamps(current);
        Complete(std::move(current.frame));
    } else {
        inFlight.push_back(std::move(current));
        if (inFlight.size() > kFramesInFlight) {
            Pending oldest = std::move(inFlight.front());
            inFlight.pop_front();
            DropStamps(oldest);
            Complete(std::move(oldest.frame));
        }
    }
    current = Pending{};
    Collect(false);
}

std::string PassRecorder::EffectName(ID3DXEffect* effect)
{
    auto found = effectNames.find(effect);
    if (found != effectNames.end())
        return found->second;
    std::string name = "(effect)";
    if (const DXEffect* registered = DXEffectHandler::FindByD3DXEffect(effect)) {
        name = registered->GetFilename();
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0)
            name.erase(dot);
    }
    effectNames.emplace(effect, name);
    return name;
}

void PassRecorder::PassBegun(ID3DXEffect* effect, const char* technique, const char* pass)
{
    if (!inFrame)
        return;
    if (inPass)
        PassEnded(nullptr);
    open = PassRecord{};
    open.effect = EffectName(effect);
    open.technique = technique;
    open.pass = pass;
    for (DWORD index = 0; index < targetSlots; ++index) {
        IDirect3DSurface9* surface = nullptr;
        if (device->GetRenderTarget(index, &surface) != D3D_OK || !surface)
            continue;
        PassTarget target;
        target.name = PassTargetName(surface);
        D3DSURFACE_DESC desc{};
        if (surface->GetDesc(&desc) == D3D_OK) {
            target.width = desc.Width;
            target.height = desc.Height;
            target.format = desc.Format;
            target.samples = static_cast<unsigned>(desc.MultiSampleType);
        }
        target.surface = surface;
        surface->Release(); // the pool or the framework holds it
        open.targets.push_back(std::move(target));
    }
    if (counter) {
        openDraws = counter->DrawCount();
        openPrimitives = counter->PrimitiveCount();
    }
    openStamp = Stamp(current.timed);
    inPass = true;
}

void PassRecorder::PassTextures(ID3DXEffect*, IDirect3DBaseTexture9* const* textures, UINT count)
{
    if (!inPass)
        return;
    for (UINT i = 0; i < count; ++i) {
        if (!textures[i])
            continue;
        std::string name = PassTextureName(textures[i]);
        if (std::find(open.reads.begin(), open.reads.end(), name) == open.reads.end())
            open.reads.push_back(std::move(name));
    }
}

void PassRecorder::PassEnded(ID3DXEffect*)
{
    if (!inPass)
        return;
    inPass = false;
    const std::uint64_t endStamp = Stamp(current.timed);
    if (counter) {
        open.draws = counter->DrawCount() - openDraws;
        open.primitives = counter->PrimitiveCount() - openPrimitives;
    }
    current.stamps.emplace_back(openStamp, endStamp);
    current.frame.passes.push_back(std::move(open));
    open = PassRecord{};
}

void PassRecorder::Collect(bool wait)
{
    while (!inFlight.empty()) {
        Pending& pending = inFlight.front();
        if (!pending.timed) {
            DropStamps(pending);
            Complete(std::move(pending.frame));
            inFlight.pop_front();
            continue;
        }
        // The GPU passes the stamps in order: once it has passed the frame's last, all are in.
        std::uint64_t end = 0;
        const HRESULT ready = timer->GetTime(pending.end, &end, wait ? D3DGETTIME_WAIT : D3DGETDATA_FLUSH);
        if (ready == S_FALSE)
            return;
        pending.end = 0;
        bool ok = ready == D3D_OK;
        auto read = [&](std::uint64_t& stamp) {
            std::uint64_t time = 0;
            if (stamp && timer->GetTime(stamp, &time, D3DGETTIME_WAIT) != D3D_OK)
                ok = false;
            stamp = 0;
            return time;
        };
        const std::uint64_t start = read(pending.start);
        for (std::size_t i = 0; i < pending.stamps.size(); ++i) {
            const std::uint64_t begin = read(pending.stamps[i].first);
            const std::uint64_t finish = read(pending.stamps[i].second);
            if (ok)
                pending.frame.passes[i].ms = Milliseconds(begin, finish);
        }
        if (ok) {
            pending.frame.ms = Milliseconds(start, end);
        } else {
            pending.frame.ms = -1.0;
            for (PassRecord& pass : pending.frame.passes)
                pass.ms = -1.0;
        }
        Complete(std::move(pending.frame));
        inFlight.pop_front();
    }
}

void PassRecorder::Complete(PassFrame frame)
{
    latest = frame;
    hasLatest = true;
    done.push_back(std::move(frame));
    while (done.size() > kKeptFrames)
        done.pop_front();
}

std::vector<PassFrame> PassRecorder::TakeFrames()
{
    Collect(false);
    std::vector<PassFrame> frames(std::make_move_iterator(done.begin()), std::make_move_iterator(done.end()));
    done.clear();
    return frames;
}

bool PassRecorder::Latest(PassFrame& frame)
{
    Collect(false);
    if (!hasLatest)
        return false;
    frame = latest;
    return true;
}

void PassRecorder::Finish()
{
    Collect(true);
}

std::vector<std::size_t> HeaviestPasses(const PassFrame& frame, std::size_t count)
{
    std::vector<std::size_t> order(frame.passes.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return frame.passes[a].ms > frame.passes[b].ms; });
    if (order.size() > count)
        order.resize(count);
    return order;
}

std::string PassTargetNames(const PassRecord& pass)
{
    std::string names;
    for (const PassTarget& target : pass.targets)
        names += (names.empty() ? "" : ",") + target.name;
    return names.empty() ? "(none)" : names;
}
