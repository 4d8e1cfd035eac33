#include "tools/host/Screenshot.h"
#include <stdio.h>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

unsigned long Crc32(const unsigned char* data, size_t size, unsigned long crc = 0)
{
    static unsigned long table[256];
    if (!table[1]) {
        for (unsigned long n = 0; n < 256; ++n) {
            unsigned long c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    }
    crc ^= 0xFFFFFFFFUL;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFUL;
}

void PutBig32(Bytes& out, unsigned long v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

void Chunk(Bytes& png, const char* type, const Bytes& data)
{
    PutBig32(png, static_cast<unsigned long>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    png.insert(png.end(), typed.begin(), typed.end());
    PutBig32(png, Crc32(typed.data(), typed.size()));
}

// A zlib stream of stored (uncompressed) blocks: larger than need be, but
// any PNG reader takes it and it needs no compressor.
Bytes StoredZlib(const Bytes& raw)
{
    Bytes out = { 0x78, 0x01 };
    size_t pos = 0;
    do {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        bool last = pos + n == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<unsigned char>(n & 0xFF));
        out.push_back(static_cast<unsigned char>(n >> 8));
        out.push_back(static_cast<unsigned char>(~n & 0xFF));
        out.push_back(static_cast<unsigned char>((~n >> 8) & 0xFF));
        out.insert(out.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    unsigned long a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(out, (b << 16) | a);
    return out;
}

// pixels: top-down rows of BGRX.
Bytes EncodePng(const Bytes& pixels, int width, int height)
{
    Bytes raw;
    raw.reserve(static_cast<size_t>(height) * (width * 3 + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        const unsigned char* row = &pixels[static_cast<size_t>(y) * width * 4];
        for (int x = 0; x < width; ++x) {
            raw.push_back(row[x * 4 + 2]);
            raw.push_back(row[x * 4 + 1]);
            raw.push_back(row[x * 4 + 0]);
        }
    }
    Bytes png = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    Bytes header;
    PutBig32(header, width);
    PutBig32(header, height);
    header.insert(header.end(), { 8, 2, 0, 0, 0 });   // 8-bit RGB, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", StoredZlib(raw));
    Chunk(png, "IEND", Bytes());
    return png;
}

Bytes EncodeBmp(const Bytes& pixels, int width, int height)
{
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    Bytes out(reinterpret_cast<unsigned char*>(&file), reinterpret_cast<unsigned char*>(&file) + sizeof file);
    out.insert(out.end(), reinterpret_cast<unsigned char*>(&info), reinterpret_cast<unsigned char*>(&info) + sizeof info);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

bool EndsWithNoCase(const std::string& text, const char* suffix)
{
    size_t n = lstrlenA(suffix);
    return text.size() >= n && lstrcmpiA(text.c_str() + text.size() - n, suffix) == 0;
}

}  // namespace

std::string SaveWindowImage(HWND window, const std::string& path)
{
    RECT rect;
    if (!GetWindowRect(window, &rect)) return "the window is gone";
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return "the window has no area";

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::string error;
    if (!bitmap || !bits) {
        error = "cannot make a bitmap";
    } else {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        SelectObject(memory, old);
        Bytes pixels(static_cast<unsigned char*>(bits), static_cast<unsigned char*>(bits) + width * height * 4);
        Bytes file = EndsWithNoCase(path, ".bmp") ? EncodeBmp(pixels, width, height) : EncodePng(pixels, width, height);
        FILE* out = fopen(path.c_str(), "wb");
        if (!out) {
            error = "cannot write " + path;
        } else {
            if (fwrite(file.data(), 1, file.size(), out) != file.size()) error = "cannot write " + path;
            if (fclose(out) != 0) error = "cannot write " + path;
        }
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return error;
}
