#pragma once
#include <QImage>
#include <QString>
#include <cstdint>

// The imaging library's flat interface, as far as the program calls it: start-up and shut-down,
// loading pictures, their size and pixel format, property items, the encoder list, single and
// multi-frame saving, and drawing an image into a device context.
//
// Codes, class ids, property tags and record layouts are the library's published values, so
// code written against the library reads the same here. Objects are owned by the library
// layer: the calls hand out opaque handles, and a handle that was disposed of (or never
// existed) gives InvalidParameter instead of undefined behaviour. Every call except start-up
// and shut-down answers GdiplusNotInitialized while no start-up token is alive.
//
// Calls come from any thread: the workers of a bulk run start the library, load a logo and
// draw it each on their own, and a GIF is built away from the window. The start-up tokens and
// the tables of live objects are locked; an image or graphics object is used only by the
// thread that made it. The GIF encoder works on threads of its own behind the calls, which
// stay synchronous in what they promise: frames come out in the order they were added and
// the flush reports every failure.
namespace platform::gdiplus {

using GpStatus = std::int32_t;
enum Status : GpStatus {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

using WCHAR = char16_t;
using ULONG_PTR = std::uintptr_t;
using PROPID = std::uint32_t;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    bool operator==(const GUID &) const = default;
};
using CLSID = GUID;

// Text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; returns 0 or CO_E_IIDSTRING.
constexpr std::int32_t CO_E_IIDSTRING = static_cast<std::int32_t>(0x800401F4u);
std::int32_t IIDFromString(const WCHAR *text, GUID *guid);

// ---- start-up
struct GdiplusStartupInput {
    std::uint32_t GdiplusVersion = 1;
    void *DebugEventCallback = nullptr;
    std::int32_t SuppressBackgroundThread = 0;
    std::int32_t SuppressExternalCodecs = 0;
};
// The notification hooks a caller gets when it suppresses the library's background thread.
// The stand-in has no such thread to hand over: a start that suppresses it is refused with
// NotImplemented, and the output is never filled.
struct GdiplusStartupOutput {
    std::int32_t (*NotificationHook)(ULONG_PTR *token) = nullptr;
    void (*NotificationUnhook)(ULONG_PTR token) = nullptr;
};
// Each successful start gives a token of its own (never 0); the library stays started while
// any token is alive. Objects still alive when the last token is shut down are released.
GpStatus GdiplusStartup(ULONG_PTR *token, const GdiplusStartupInput *input,
                        GdiplusStartupOutput *output);
void GdiplusShutdown(ULONG_PTR token);

// ---- pixel formats (published values)
using PixelFormat = std::int32_t;
constexpr PixelFormat PixelFormatUndefined = 0;
constexpr PixelFormat PixelFormat1bppIndexed = 0x00030101;
constexpr PixelFormat PixelFormat4bppIndexed = 0x00030402;
constexpr PixelFormat PixelFormat8bppIndexed = 0x00030803;
constexpr PixelFormat PixelFormat16bppGrayScale = 0x00101004;
constexpr PixelFormat PixelFormat16bppRGB555 = 0x00021005;
constexpr PixelFormat PixelFormat16bppRGB565 = 0x00021006;
constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;
constexpr PixelFormat PixelFormat48bppRGB = 0x0010300C;
constexpr PixelFormat PixelFormat64bppARGB = 0x0034400D;

// ---- images
struct GpImage;      // opaque
struct GpGraphics;   // opaque

GpStatus GdipLoadImageFromFile(const WCHAR *filename, GpImage **image);
GpStatus GdipDisposeImage(GpImage *image);
// Not a library call: the stand-in's own GdipLoadImageFromFile for a caller that draws the
// picture one to one and of which at most the top-left `shown` pixels can be seen (a logo on a
// preview). Only that part is decoded and kept; the image reports the picture's own size and
// draws that part where it lies. It cannot be saved (WrongState).
GpStatus loadImageShown(const WCHAR *filename, QSize shown, GpImage **image);
GpStatus GdipGetImagePixelFormat(GpImage *image, PixelFormat *format);
GpStatus GdipGetImageDimension(GpImage *image, float *width, float *height);
GpStatus GdipGetImageWidth(GpImage *image, std::uint32_t *width);
GpStatus GdipGetImageHeight(GpImage *image, std::uint32_t *height);
// The file format the image was read from (ImageFormatBMP, ...).
// A new 32-bit image of the given size holding the whole picture, smoothly resampled (the
// proportions are the caller's business). No abort callback is supported.
GpStatus GdipGetImageThumbnail(GpImage *image, std::uint32_t thumbWidth, std::uint32_t thumbHeight,
                               GpImage **thumbImage, void *callback, void *callbackData);

// File formats (published ids).
constexpr GUID ImageFormatMemoryBMP = {0xB96B3CAA, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr GUID ImageFormatBMP = {0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr GUID ImageFormatJPEG = {0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr GUID ImageFormatPNG = {0xB96B3CAF, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr GUID ImageFormatGIF = {0xB96B3CB0, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr GUID ImageFormatTIFF = {0xB96B3CB1, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// ---- property items
struct PropertyItem {
    PROPID id;
    std::uint32_t length;   // bytes
    std::uint16_t type;
    void *value;
};
constexpr std::uint16_t PropertyTagTypeByte = 1;
constexpr std::uint16_t PropertyTagTypeASCII = 2;
constexpr std::uint16_t PropertyTagTypeShort = 3;
constexpr std::uint16_t PropertyTagTypeLong = 4;
constexpr std::uint16_t PropertyTagTypeSLONG = 9;
constexpr PROPID PropertyTagFrameDelay = 0x5100;   // hundredths of a second, one per frame
constexpr PROPID PropertyTagLoopCount = 0x5101;    // 0 = for ever

// The item is copied; the caller keeps its buffer.
GpStatus GdipSetPropertyItem(GpImage *image, const PropertyItem *item);
// Size of the item record plus its value; PropertyNotFound when the image has no such item.
// Fills `buffer` (of `size` bytes) with the record followed by its value.

// ---- encoders
struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR *CodecName;
    const WCHAR *DllName;
    const WCHAR *FormatDescription;
    const WCHAR *FilenameExtension;   // upper case, ";"-separated: "*.JPG;*.JPEG;*.JPE;*.JFIF"
    const WCHAR *MimeType;
    std::uint32_t Flags;
    std::uint32_t Version;
    std::uint32_t SigCount;
    std::uint32_t SigSize;
    const std::uint8_t *SigPattern;
    const std::uint8_t *SigMask;
};
// Encoder class ids (published).
constexpr CLSID EncoderClsidBMP = {0x557CF400, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID EncoderClsidJPEG = {0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID EncoderClsidGIF = {0x557CF402, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID EncoderClsidTIFF = {0x557CF405, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID EncoderClsidPNG = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// `size` is the byte size of the whole list: the records followed by the texts they point to.
GpStatus GdipGetImageEncodersSize(std::uint32_t *numEncoders, std::uint32_t *size);
GpStatus GdipGetImageEncoders(std::uint32_t numEncoders, std::uint32_t size,
                              ImageCodecInfo *encoders);

// ---- saving
constexpr std::uint32_t EncoderParameterValueTypeLong = 4;
struct EncoderParameter {
    GUID Guid;
    std::uint32_t NumberOfValues;
    std::uint32_t Type;
    void *Value;
};
struct EncoderParameters {
    std::uint32_t Count;
    EncoderParameter Parameter[1];
};
constexpr GUID EncoderSaveFlag = {0x292266FC, 0xAC40, 0x47BF, {0x8C, 0xFC, 0xA8, 0x5B, 0x89, 0xA6, 0x55, 0xDE}};
constexpr GUID EncoderQuality = {0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};
// EncoderSaveFlag values.
constexpr std::uint32_t EncoderValueMultiFrame = 18;
constexpr std::uint32_t EncoderValueFlush = 20;
constexpr std::uint32_t EncoderValueFrameDimensionTime = 21;

// Without EncoderSaveFlag (or with another value) the image is written as one picture and the
// file is complete when the call returns. With EncoderValueMultiFrame (GIF only) the file is
// opened on this image, which becomes its first frame; GdipSaveAddImage with
// EncoderValueFrameDimensionTime adds frames and GdipSaveAdd with EncoderValueFlush closes it.
// The GIF takes its size from the first frame, its frame delays from that frame's
// PropertyTagFrameDelay (entry k for the k-th frame written) and its loop count from
// PropertyTagLoopCount. A later frame of another size is scaled to fit the animation, keeping
// its proportions, and centred on black.
GpStatus GdipSaveImageToFile(GpImage *image, const WCHAR *filename, const CLSID *encoder,
                             const EncoderParameters *params);
GpStatus GdipSaveAddImage(GpImage *image, GpImage *newImage, const EncoderParameters *params);
GpStatus GdipSaveAdd(GpImage *image, const EncoderParameters *params);
// The system's error number behind the last save call of this thread that failed with
// Win32Error, as the system keeps it for such a status; 0 when the system gave no reason.
int lastSystemError();

// ---- drawing
// A device context is the image it draws on (see platform/Gdi.h, whose calls take the same
// images). The image must outlive the graphics objects made on it.
using HDC = QImage *;

enum InterpolationMode : std::int32_t {
    InterpolationModeInvalid = -1,
    InterpolationModeDefault = 0,
    InterpolationModeLowQuality = 1,
    InterpolationModeHighQuality = 2,
    InterpolationModeBilinear = 3,
    InterpolationModeBicubic = 4,
    InterpolationModeNearestNeighbor = 5,
    InterpolationModeHighQualityBilinear = 6,
    InterpolationModeHighQualityBicubic = 7,
};
enum Unit : std::int32_t { UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2 };

GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics **graphics);
GpStatus GdipDeleteGraphics(GpGraphics *graphics);
GpStatus GdipSetInterpolationMode(GpGraphics *graphics, InterpolationMode mode);
// Draws the whole image stretched into (x, y, width, height), blended over what is there
// (transparent parts of the image leave the device as it was).
GpStatus GdipDrawImageRectI(GpGraphics *graphics, GpImage *image, int x, int y, int width,
                            int height);
// Draws the source rectangle (in pixels: srcUnit UnitPixel) into the destination rectangle.
// Image attributes and abort callbacks are not supported (NotImplemented when given).
GpStatus GdipDrawImageRectRectI(GpGraphics *graphics, GpImage *image, int dstx, int dsty,
                                int dstwidth, int dstheight, int srcx, int srcy, int srcwidth,
                                int srcheight, Unit srcUnit, const void *imageAttributes,
                                void *callback, void *callbackData);

// ---- helpers for callers written in Qt terms
// The path as the library takes it (zero-terminated UTF-16, valid while `path` lives).
inline const WCHAR *widePath(const QString &path)
{
    return reinterpret_cast<const WCHAR *>(path.utf16());
}

} // namespace platform::gdiplus
