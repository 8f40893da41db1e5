// The response head parser over arbitrary bytes: the first byte chooses the
// piece size, and feeding in pieces must give what feeding at once gives.
#include "http/httpresponsehead.h"

#include <cstddef>
#include <cstdint>

namespace
{

const size_t MaxLine = 256;
const size_t MaxLines = 16;

size_t FeedInPieces(HttpResponseHead& head, const char* data, size_t size, size_t piece)
{
    size_t used = 0;
    for (size_t at = 0; at < size && head.GetState() == HttpResponseHead::kNeedMore; at += piece)
    {
        const size_t n = size - at < piece ? size - at : piece;
        const size_t took = head.Feed(data + at, n);
        if (took > n)
            __builtin_trap();
        used += took;
    }
    head.Finish();
    return used;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const size_t piece = data[0] % 32 + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t count = size - 1;

    HttpResponseHead whole(MaxLine, MaxLines);
    const size_t usedWhole = FeedInPieces(whole, bytes, count, count ? count : 1);
    HttpResponseHead pieces(MaxLine, MaxLines);
    const size_t usedPieces = FeedInPieces(pieces, bytes, count, piece);

    if (whole.GetState() != pieces.GetState() || whole.GetFailure() != pieces.GetFailure() ||
        whole.GetCode() != pieces.GetCode() || whole.HasStatusLine() != pieces.HasStatusLine() ||
        whole.GetHeaders() != pieces.GetHeaders())
        __builtin_trap();
    if (whole.GetState() == HttpResponseHead::kNeedMore)
        __builtin_trap();
    // Consumed counts agree where they are meaningful: a complete head.
    if (whole.GetState() == HttpResponseHead::kComplete && usedWhole != usedPieces)
        __builtin_trap();
    if (whole.GetHeaders().size() > MaxLines)
        __builtin_trap();
    for (const auto& header : whole.GetHeaders())
    {
        if (header.first.length() > MaxLine || header.second.length() > MaxLine)
            __builtin_trap();
    }
    return 0;
}
