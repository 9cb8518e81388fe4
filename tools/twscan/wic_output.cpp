#include "wic_output.h"

#include <objbase.h>
#include <wincodec.h>

#include <string.h>

#include <vector>

namespace {

// Releases a COM interface at the end of a scope.
template <class T>
struct ComRef {
    T* p = nullptr;
    ~ComRef()
    {
        if (p)
            p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() { return p; }
};

std::string HresultText(const char* what, HRESULT hr)
{
    char text[128];
    snprintf(text, sizeof(text), "%s failed (HRESULT 0x%08lX)", what, static_cast<unsigned long>(hr));
    return text;
}

unsigned Luminance(const RGBQUAD& c)
{
    return (c.rgbRed * 30u + c.rgbGreen * 59u + c.rgbBlue * 11u) / 100u;
}

// Top-down rows in the encoder's pixel format: black-and-white (1 = white), 8-bit
// gray through the palette, or 24-bit blue-green-red as the DIB holds them.
std::vector<BYTE> TopDownPixels(const BITMAPINFOHEADER& info, const RGBQUAD* palette,
                                const unsigned char* pixels, UINT* strideOut)
{
    const UINT width = static_cast<UINT>(info.biWidth);
    const UINT height = static_cast<UINT>(info.biHeight < 0 ? -info.biHeight : info.biHeight);
    const size_t sourceStride = ((size_t(width) * info.biBitCount + 31) / 32) * 4;
    const UINT stride = static_cast<UINT>(sourceStride);
    std::vector<BYTE> out(size_t(stride) * height, 0);
    for (UINT y = 0; y < height; ++y) {
        const unsigned char* source =
            pixels + sourceStride * (info.biHeight > 0 ? height - 1 - y : y);
        BYTE* target = &out[size_t(stride) * y];
        if (info.biBitCount == 24) {
            memcpy(target, source, sourceStride);
        } else if (info.biBitCount == 8) {
            for (UINT x = 0; x < width; ++x)
                target[x] = static_cast<BYTE>(Luminance(palette[source[x]]));
        } else {
            for (UINT x = 0; x < width; ++x) {
                const int bit = (source[x / 8] >> (7 - x % 8)) & 1;
                if (Luminance(palette[bit]) >= 128)
                    target[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            }
        }
    }
    *strideOut = stride;
    return out;
}

bool Encode(IWICImagingFactory* factory, const std::wstring& path, bool tiff,
            const BITMAPINFOHEADER& info, const RGBQUAD* palette, const unsigned char* pixels,
            int dpi, std::string* error)
{
    const UINT width = static_cast<UINT>(info.biWidth);
    const UINT height = static_cast<UINT>(info.biHeight < 0 ? -info.biHeight : info.biHeight);
    const WICPixelFormatGUID wanted = info.biBitCount == 24   ? GUID_WICPixelFormat24bppBGR
                                      : info.biBitCount == 8 ? GUID_WICPixelFormat8bppGray
                                                             : GUID_WICPixelFormatBlackWhite;
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    HRESULT hr;
    if (FAILED(hr = factory->CreateStream(&stream)) ||
        FAILED(hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE))) {
        *error = HresultText("creating the output file", hr);
        return false;
    }
    if (FAILED(hr = factory->CreateEncoder(tiff ? GUID_ContainerFormatTiff : GUID_ContainerFormatPng,
                                           nullptr, &encoder)) ||
        FAILED(hr = encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
        FAILED(hr = encoder->CreateNewFrame(&frame, &options)) ||
        FAILED(hr = frame->Initialize(options.p)) || FAILED(hr = frame->SetSize(width, height)) ||
        (dpi > 0 && FAILED(hr = frame->SetResolution(dpi, dpi)))) {
        *error = HresultText(tiff ? "starting the TIFF encoder" : "starting the PNG encoder", hr);
        return false;
    }
    WICPixelFormatGUID format = wanted;
    if (FAILED(hr = frame->SetPixelFormat(&format)) || !IsEqualGUID(format, wanted)) {
        *error = "the imaging component cannot store this pixel type in the chosen format";
        return false;
    }
    UINT stride = 0;
    std::vector<BYTE> rows = TopDownPixels(info, palette, pixels, &stride);
    if (FAILED(hr = frame->WritePixels(height, stride, static_cast<UINT>(rows.size()), rows.data())) ||
        FAILED(hr = frame->Commit()) || FAILED(hr = encoder->Commit())) {
        *error = HresultText("encoding the image", hr);
        return false;
    }
    return true;
}

std::wstring Wide(const std::string& text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
    return wide;
}

}  // namespace

bool WriteWicFile(const std::string& path, bool tiff, const BITMAPINFOHEADER& info,
                  const RGBQUAD* palette, const unsigned char* pixels, int dpi,
                  std::string* error)
{
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string temporary = path + ".part";
    bool ok = false;
    {
        ComRef<IWICImagingFactory> factory;
        HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(&factory));
        if (FAILED(hr))
            *error = HresultText("loading the Windows Imaging Component", hr);
        else
            ok = Encode(factory.p, Wide(temporary), tiff, info, palette, pixels, dpi, error);
    }
    if (ok && !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        *error = "cannot write " + path;
        ok = false;
    }
    if (!ok)
        DeleteFileA(temporary.c_str());
    if (SUCCEEDED(init))
        CoUninitialize();
    return ok;
}
