#include "platform/PixelPool.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::pixelpool {
namespace {

// Smaller blocks come from the allocator's own reused memory; larger ones it maps afresh.
constexpr qsizetype kPooledFrom = 16 << 20;
// A block for each worker is what a run reuses.
size_t maxKept()
{
    static const size_t n = std::max(2u, std::thread::hardware_concurrency());
    return n;
}

struct Block {
    void *data;
    qsizetype bytes;
};

struct Pool {
    std::mutex lock;
    std::vector<Block> free;
};

Pool &pool()
{
    // Never destroyed: an image may give its block back as the program ends.
    static Pool *const p = new Pool;
    return *p;
}

void giveBack(void *info)
{
    auto *block = static_cast<Block *>(info);
    {
        Pool &p = pool();
        const std::lock_guard guard(p.lock);
        if (p.free.size() < maxKept()) {
            p.free.push_back(*block);
            delete block;
            return;
        }
    }
    std::free(block->data);
    delete block;
}

} // namespace

QImage image(QSize size, QImage::Format format)
{
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const bool indexed = format == QImage::Format_Indexed8 || format == QImage::Format_Mono
        || format == QImage::Format_MonoLSB;
    if (size.isEmpty() || indexed || depth % 8 != 0)
        return QImage(size, format);
    // Rows padded to four bytes, as QImage pads its own.
    const qsizetype bytesPerLine = ((qsizetype(size.width()) * depth + 31) / 32) * 4;
    const qsizetype bytes = bytesPerLine * size.height();
    if (bytes < kPooledFrom)
        return QImage(size, format);
    void *data = nullptr;
    {
        Pool &p = pool();
        const std::lock_guard guard(p.lock);
        for (auto it = p.free.begin(); it != p.free.end(); ++it)
            if (it->bytes == bytes) {
                data = it->data;
                p.free.erase(it);
                break;
            }
    }
    if (!data)
        data = std::malloc(size_t(bytes));
    if (!data)
        return {};
    auto *block = new Block{data, bytes};
    QImage out(static_cast<uchar *>(data), size.width(), size.height(), bytesPerLine, format, giveBack, block);
    if (out.isNull())
        giveBack(block);
    return out;
}

qsizetype keptBytes()
{
    Pool &p = pool();
    const std::lock_guard guard(p.lock);
    qsizetype sum = 0;
    for (const Block &b : p.free)
        sum += b.bytes;
    return sum;
}

void release()
{
    std::vector<Block> blocks;
    {
        Pool &p = pool();
        const std::lock_guard guard(p.lock);
        blocks.swap(p.free);
    }
    for (const Block &b : blocks)
        std::free(b.data);
}

} // namespace platform::pixelpool
