// libFuzzer target: the icon-file reader, the image-list stream reader and the
// BMP decoder (RLE files too) must answer any input with a result or kit::Error, and whatever
// the reader accepts must survive a round trip through the writer.
#include "core/Bmp.h"
#include "core/Error.h"
#include "core/IconFile.h"

#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void roundTrip(const toolbar::IconImages& list) {
    // An empty list may declare any image size; writing it would only measure the allocator.
    if (list.images.empty()) return;
    std::vector<std::uint8_t> written;
    try {
        written = toolbar::WriteIconFile(list, 32);
    } catch (const kit::Error&) {
        return;  // more than the writer stores (sizes past its limits)
    }
    const toolbar::IconImages back = toolbar::ReadIconFile(written);  // must not throw
    check(back.width == list.width && back.height == list.height);
    check(back.images.size() == list.images.size() && back.masked == list.masked);
    // An alpha channel that is zero in every image reads back as opaque.
    bool alphaSomewhere = false;
    for (const auto& image : list.images)
        for (std::uint32_t px : image.pixels) alphaSomewhere = alphaSomewhere || (px >> 24) != 0;
    for (std::size_t i = 0; i < list.images.size(); ++i) {
        check(back.images[i].pixels.size() == list.images[i].pixels.size());
        for (std::size_t p = 0; p < list.images[i].pixels.size(); ++p) {
            const std::uint32_t want = alphaSomewhere ? list.images[i].pixels[p] : list.images[i].pixels[p] | 0xFF000000u;
            check(back.images[i].pixels[p] == want);
        }
        if (list.masked) check(back.masks[i] == list.masks[i]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        std::size_t consumed = 0;
        const kit::Bitmap32 image = kit::DecodeBmp(data, size, &consumed);
        check(consumed <= size);
        check(image.pixels.size() == static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
        const std::vector<std::uint8_t> encoded = kit::EncodeBmp(image, 32);
        check(kit::DecodeBmp(encoded.data(), encoded.size()).pixels.size() == image.pixels.size());
        // The header reader and the row decoder agree with the whole decoder.
        const kit::BmpInfo info = kit::ReadBmpInfo(data, size);
        check(info.width == image.width && info.height == image.height);
        bool same = true;
        const kit::BmpDecoded rows = kit::DecodeBmpRows(data, size, kit::BmpLayout::File,
                                                        [&](int y, const std::uint32_t* pixels) {
            for (int x = 0; x < image.width; ++x) same = same && (pixels[x] & 0xFFFFFF) == (image.at(x, y) & 0xFFFFFF);
        });
        check(same && rows.consumed == consumed);
    } catch (const kit::Error&) {
    }
    try {
        const kit::BmpDecoded d = kit::DecodeBmpDetailed(data, size, kit::BmpLayout::Stream);
        check(d.consumed <= size);
    } catch (const kit::Error&) {
    }
    try {
        toolbar::ReadImageListStream(data, size);
    } catch (const kit::Error&) {
    }
    try {
        const toolbar::IconImages list = toolbar::ReadIconFile(data, size);
        for (std::size_t i = 0; i < list.images.size(); ++i) {
            check(list.images[i].width == list.width && list.images[i].height == list.height);
            check(!list.masked || list.masks[i].size() == list.images[i].pixels.size());
        }
        roundTrip(list);
    } catch (const kit::Error&) {
    }
    return 0;
}
