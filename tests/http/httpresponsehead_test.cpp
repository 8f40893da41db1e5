#include "http/httpresponsehead.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

const size_t MaxLine = 64;
const size_t MaxLines = 4;

// Feeds the bytes in pieces of the given size; returns the bytes consumed.
size_t FeedInPieces(HttpResponseHead& head, const std::string& bytes, size_t piece)
{
    size_t used = 0;
    for (size_t at = 0; at < bytes.size() && head.GetState() == HttpResponseHead::kNeedMore; at += piece)
    {
        const size_t size = std::min(piece, bytes.size() - at);
        used += head.Feed(bytes.data() + at, size);
    }
    return used;
}

} // namespace

TEST(HttpResponseHead, SplitsHeadFromBodyWhateverThePieces)
{
    const std::string head = "HTTP/1.1  200 OK\r\nContent-Length : 12 \r\nX-Empty:\r\nno colon\r\n\r\n";
    for (size_t piece : {1u, 2u, 7u, 1000u})
    {
        SCOPED_TRACE(piece);
        HttpResponseHead parser(MaxLine, MaxLines);
        EXPECT_EQ(FeedInPieces(parser, head + "body bytes\r\n", piece), head.size());
        ASSERT_EQ(parser.GetState(), HttpResponseHead::kComplete);
        EXPECT_TRUE(parser.HasStatusLine());
        EXPECT_EQ(parser.GetCode(), 200);
        const std::vector<std::pair<wxString, wxString>> expected = {
            {"Content-Length", "12"}, {"X-Empty", ""}, {"no colon", ""}};
        EXPECT_EQ(parser.GetHeaders(), expected);
    }
}

TEST(HttpResponseHead, StatusLines)
{
    const struct
    {
        const char* line;
        HttpResponseHead::State state;
        bool hasStatusLine;
        long code;
    } cases[] = {
        {"HTTP/1.0 404 Not Found", HttpResponseHead::kRefused, true, 404},
        {"HTTP/1.0 500", HttpResponseHead::kRefused, true, 500},
        {"HTTP/1.0", HttpResponseHead::kRefused, true, 0},
        {"HTTP/1.0 abc", HttpResponseHead::kRefused, true, 0},
        {"HTTP/1.0 -200", HttpResponseHead::kRefused, true, -200},
        {"HTTP/1.0 199x", HttpResponseHead::kComplete, true, 199},
        {"xHTTP/1.0 301", HttpResponseHead::kComplete, true, 301},
        {"<html>", HttpResponseHead::kComplete, false, 0},
        {"", HttpResponseHead::kComplete, false, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        HttpResponseHead parser(MaxLine, MaxLines);
        const std::string bytes = std::string(c.line) + "\r\n\r\n";
        parser.Feed(bytes.data(), bytes.size());
        EXPECT_EQ(parser.GetState(), c.state);
        EXPECT_EQ(parser.HasStatusLine(), c.hasStatusLine);
        EXPECT_EQ(parser.GetCode(), c.code);
    }
}

TEST(HttpResponseHead, NoStatusLineConsumesOnlyTheFirstLine)
{
    HttpResponseHead parser(MaxLine, MaxLines);
    const std::string bytes = "first\nsecond\r\n";
    EXPECT_EQ(parser.Feed(bytes.data(), bytes.size()), 6u);
    EXPECT_EQ(parser.GetState(), HttpResponseHead::kComplete);
    EXPECT_FALSE(parser.HasStatusLine());
}

TEST(HttpResponseHead, Limits)
{
    const std::string ok = "HTTP/1.0 200 OK\r\n";
    const struct
    {
        const char* name;
        std::string bytes;
        HttpResponseHead::State state;
        HttpResponseHead::Failure failure;
    } cases[] = {
        {"longest line", ok + "X: " + std::string(MaxLine - 3, 'a') + "\r\n\r\n", HttpResponseHead::kComplete,
         HttpResponseHead::kNoFailure},
        {"line one too long", ok + "X: " + std::string(MaxLine - 2, 'a') + "\r\n\r\n", HttpResponseHead::kFailed,
         HttpResponseHead::kLineTooLong},
        {"long line with bare LF", ok + "X: " + std::string(MaxLine - 2, 'a') + "\n\n", HttpResponseHead::kFailed,
         HttpResponseHead::kLineTooLong},
        {"endless status line", std::string(1000, 'H'), HttpResponseHead::kFailed, HttpResponseHead::kLineTooLong},
        {"most header lines", ok + "A: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\n\r\n", HttpResponseHead::kComplete,
         HttpResponseHead::kNoFailure},
        {"one line too many", ok + "A: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\nE: 5\r\n\r\n", HttpResponseHead::kFailed,
         HttpResponseHead::kTooManyLines},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        HttpResponseHead parser(MaxLine, MaxLines);
        FeedInPieces(parser, c.bytes, 3);
        EXPECT_EQ(parser.GetState(), c.state);
        EXPECT_EQ(parser.GetFailure(), c.failure);
        EXPECT_LE(parser.GetHeaders().size(), MaxLines);
    }
}

TEST(HttpResponseHead, EndOfConnectionInsideTheHeadFails)
{
    for (const std::string bytes : {"", "HTTP/1.0 200", "HTTP/1.0 200 OK\r\nA: 1\r\n"})
    {
        HttpResponseHead parser(MaxLine, MaxLines);
        parser.Feed(bytes.data(), bytes.size());
        parser.Finish();
        EXPECT_EQ(parser.GetState(), HttpResponseHead::kFailed) << bytes;
        EXPECT_EQ(parser.GetFailure(), HttpResponseHead::kTruncated) << bytes;
    }
}

TEST(HttpResponseHead, HeaderBytesAreLatin1)
{
    HttpResponseHead parser(MaxLine, MaxLines);
    const std::string bytes = "HTTP/1.0 200 OK\r\nX-Name: caf\xe9 \xff\r\n\r\n";
    parser.Feed(bytes.data(), bytes.size());
    ASSERT_EQ(parser.GetState(), HttpResponseHead::kComplete);
    EXPECT_EQ(parser.GetHeaders().at(0).second, wxString::FromUTF8("caf\xc3\xa9 \xc3\xbf"));
}
