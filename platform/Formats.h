#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <vector>

// The picture formats Pixmar knows, in one table: their names, extensions, how their content
// begins, which library reads and writes them and what they can hold. Accepted-extension
// lists, the open-file dialogs' filters, output names and the encoder all read it.
namespace platform::formats {

enum class Id { Bmp, Jpeg, Png, Tiff, Gif, WebP, Heic, Avif };

struct Format {
    Id id;
    const char *filterName;   // as the open-file dialog names it: "JPEG", "Bitmap"
    QStringList extensions;   // lower case with the dot, the usual one first
    QByteArray signature;     // the first bytes of every file of the format
    int freeImageCode;        // FREE_IMAGE_FORMAT that encodes it; -1 when Pixmar never writes it
    const char *qtName;       // the Qt image plugin that reads it
    bool holdsAlpha;
    bool holdsMetadata;       // EXIF, XMP, IPTC and a colour profile can go in
    bool hasQuality;          // the encoder takes a quality from 1 to 100
    int heifCompression = -1; // heif_compression_format libheif encodes it with; -1 for none
};

// Every format, in the order of Id.
const std::vector<Format> &all();
const Format &get(Id id);
// The format an extension names (".JPG" as ".jpg"), or null for one that names none.
const Format *byExtension(const QString &extension);
// The format the content begins with, or null.
const Format *byContent(const QByteArray &head);

// Pixmar writes pictures of this format on this machine: FreeImage's formats always, HEIC and
// AVIF where libheif was built with their encoder.
bool writable(const Format &format);

// What an output whose source has `extension` is written as: the format the extension names,
// a bitmap for one that names none (the tools write a bitmap for any other picture).
const Format &outputFor(const QString &extension);

// Every extension of every picture format Pixmar reads, as the tools accept them when told to
// take all picture formats.
QStringList allPictureExtensions();
// What a picture of format `content` is written as when the output follows the content: the
// same format where Pixmar writes it, PNG for a GIF (its first frame, without a palette's
// limits), JPEG for HEIC or AVIF where there is no encoder for them.
const Format &outputForContent(const Format &content);

// The extensions of the given formats that the tools accept, as they list them (".bmp").
QStringList extensionsOf(std::initializer_list<Id> ids);

// An open-file dialog filter for these formats, in this order: "All Image Files (*.jpg;
// *.bmp)| *.jpg; *.bmp|JPEG (*.jpg)|*.jpg|Bitmap (*.bmp)|*.bmp".
QString openFilter(std::initializer_list<Id> ids);
// The same for every format Pixmar reads, each with all its extensions.
QString openFilterForAll();

// JPEG quality when the user chose none: FreeImage's own default, written with its default
// flags so that such outputs stay what they always were.
inline constexpr int kDefaultJpegQuality = 75;

} // namespace platform::formats
