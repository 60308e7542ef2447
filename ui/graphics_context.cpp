#include "ui/graphics_context.h"

#include <d2d1.h>
#include <dwrite.h>
#include <objidl.h>
#include <wincodec.h>

#include <cstring>
#include <map>
#include <mutex>

#include "diag/trace.h"
#include "launcher/app_context.h"
#include "ui/text_style.h"

namespace ncGraphics {

namespace {

constexpr std::uint32_t kModule = 6;
constexpr std::uint32_t kFunctionInit = 3;
constexpr std::uint32_t kFunctionShutdown = 4;

// CLSID_WICImagingFactory2; spelled out so no GUID library is needed.
constexpr CLSID kWicImagingFactory2 = {
    0x317d06e8, 0x5f24, 0x433d, {0xbd, 0xf7, 0x79, 0xce, 0x68, 0xd8, 0xab, 0xc2}};

bool Fail(std::uint32_t startupError, std::int64_t traceCode) {
    ncApp::Context().startupError = startupError;
    ncDiag::TraceEvent(4, kModule, kFunctionInit, 2, traceCode);
    return false;
}

template <typename T>
void ReleaseAndClear(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

struct ImageSourceCache {
    std::mutex lock;
    std::map<std::uint32_t, IWICBitmapSource*> sources;
};

ImageSourceCache& Cache() {
    // Never destroyed: the cache keeps its references for the life of the process.
    static ImageSourceCache* cache = new ImageSourceCache;
    return *cache;
}

HRESULT LastErrorResult() {
    DWORD error = GetLastError();
    return error > 0 ? static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu)) : S_OK;
}

}  // namespace

bool InitGraphics() {
    ncDiag::TraceEvent(2, kModule, kFunctionInit, 1, 0);
    // Geometry is in 96 DPI pixels everywhere; the system stretches the window.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE);

    ncApp::AppContext& context = ncApp::Context();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return Fail(kErrorComInit, 2);
    }
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                                 reinterpret_cast<void**>(&context.d2dFactory)))) {
        context.d2dFactory = nullptr;
        return Fail(kErrorD2dFactory, 3);
    }
    if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                   reinterpret_cast<IUnknown**>(&context.dwriteFactory)))) {
        context.dwriteFactory = nullptr;
        return Fail(kErrorDWriteFactory, 4);
    }
    if (FAILED(CoCreateInstance(kWicImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IWICImagingFactory),
                                reinterpret_cast<void**>(&context.wicFactory)))) {
        context.wicFactory = nullptr;
        return Fail(kErrorWicFactory, 5);
    }

    TextStyleTable* previous = context.textStyles;
    context.textStyles = new TextStyleTable;
    if (previous != nullptr) {
        ReleaseTextStyleSlots(*previous);
        delete previous;
    }
    const auto& builtIn = BuiltInTextStyles();
    for (std::uint32_t i = 0; i < kTextStyleCount; ++i) {
        if (!builtIn[i].family.empty() && builtIn[i].size > 0.0f) {
            context.textStyles->entries[i] = builtIn[i];
        }
    }
    return true;
}

void ShutdownGraphics() {
    ncDiag::TraceEvent(2, kModule, kFunctionShutdown, 1, 0);
    ncApp::AppContext& context = ncApp::Context();
    TextStyleTable* table = context.textStyles;
    context.textStyles = nullptr;
    if (table != nullptr) {
        ReleaseTextStyleSlots(*table);
        delete table;
    }
    ReleaseAndClear(context.dwriteFactory);
    ReleaseAndClear(context.wicFactory);
    ReleaseAndClear(context.d2dFactory);
    CoUninitialize();
}

HRESULT LoadImageResource(std::uint16_t id, IWICBitmapSource** out) {
    if (out == nullptr) {
        return E_INVALIDARG;
    }
    IWICImagingFactory* factory = ncApp::Context().wicFactory;
    if (factory == nullptr) {
        return E_UNEXPECTED;
    }
    if (id == 0) {
        return E_INVALIDARG;
    }
    *out = nullptr;

    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (info == nullptr) {
        return LastErrorResult();
    }
    DWORD size = SizeofResource(module, info);
    if (size == 0) {
        return LastErrorResult();
    }
    HGLOBAL resource = LoadResource(module, info);
    if (resource == nullptr) {
        return LastErrorResult();
    }
    const void* bytes = LockResource(resource);
    if (bytes == nullptr) {
        return E_FAIL;
    }

    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr) {
        return E_OUTOFMEMORY;
    }
    void* target = GlobalLock(memory);
    if (target == nullptr) {
        GlobalFree(memory);
        return E_OUTOFMEMORY;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory);

    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(memory, TRUE, &stream);
    if (FAILED(hr)) {
        GlobalFree(memory);  // not owned by a stream
        return hr;
    }
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    hr = factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnLoad, &decoder);
    if (SUCCEEDED(hr)) {
        hr = decoder->GetFrame(0, &frame);
    }
    if (SUCCEEDED(hr)) {
        hr = factory->CreateFormatConverter(&converter);
    }
    if (SUCCEEDED(hr)) {
        hr = converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeCustom);
    }
    if (SUCCEEDED(hr)) {
        *out = converter;
        converter = nullptr;
    }
    ReleaseAndClear(converter);
    ReleaseAndClear(frame);
    ReleaseAndClear(decoder);
    stream->Release();
    return hr;
}

IWICBitmapSource* GetCachedImageSource(std::uint16_t id) {
    ImageSourceCache& cache = Cache();
    std::lock_guard<std::mutex> hold(cache.lock);
    auto found = cache.sources.find(id);
    if (found != cache.sources.end()) {
        return found->second;
    }
    IWICBitmapSource* source = nullptr;
    if (FAILED(LoadImageResource(id, &source)) || source == nullptr) {
        return nullptr;
    }
    cache.sources.emplace(id, source);
    return source;
}

}  // namespace ncGraphics
