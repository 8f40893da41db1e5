// The page texts as a person sees them: black glyphs straight on the
// background picture, no box, every line where it belongs.
#include "tests/app/guitest.h"
#include "tests/support/pontiroini.h"

#include <wx/font.h>

#include <algorithm>
#include <cstdlib>

namespace
{
struct Inspection
{
    int total = 0;
    int same = 0;     // the picture's own pixel
    int ink = 0;      // dark enough to be a glyph's body
    int foreign = 0;  // neither the picture nor darker than it: a box or a colour
    int darkest = 255 * 3;
};

// Glyphs drawn in black only ever darken the picture; anything else in the
// rectangle would be a box, a fill or a coloured text.
Inspection Inspect(const wxImage& shot, const wxImage& picture, const wxRect& rect)
{
    Inspection result;
    for (int y = rect.GetTop(); y <= rect.GetBottom(); ++y)
    {
        for (int x = rect.GetLeft(); x <= rect.GetRight(); ++x)
        {
            const int s[3] = {shot.GetRed(x, y), shot.GetGreen(x, y), shot.GetBlue(x, y)};
            const int p[3] = {picture.GetRed(x, y), picture.GetGreen(x, y),
                              picture.GetBlue(x, y)};
            ++result.total;
            bool same = true, darker = true;
            for (int i = 0; i < 3; ++i)
            {
                same = same && std::abs(s[i] - p[i]) <= 1;
                darker = darker && s[i] <= p[i] + 1;
            }
            if (same)
                ++result.same;
            else if (!darker)
                ++result.foreign;
            if (std::max({s[0], s[1], s[2]}) < 110)
                ++result.ink;
            result.darkest = std::min(result.darkest, s[0] + s[1] + s[2]);
        }
    }
    return result;
}

wxRect RectOf(wxWindow* window)
{
    return wxRect(window->GetPosition(), window->GetSize());
}

// Rows of the rectangle that hold glyph pixels, as runs [first, last]: a
// glyph darkens the picture clearly, even where smoothing draws its thin
// strokes in grey (Windows fonts under Wine).
std::vector<std::pair<int, int>> InkBands(const wxImage& shot, const wxImage& picture,
                                          const wxRect& rect)
{
    auto sum = [](const wxImage& image, int x, int y) {
        return image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y);
    };
    std::vector<std::pair<int, int>> bands;
    for (int y = rect.GetTop(); y <= rect.GetBottom(); ++y)
    {
        bool ink = false;
        for (int x = rect.GetLeft(); x <= rect.GetRight() && !ink; ++x)
            ink = sum(picture, x, y) - sum(shot, x, y) >= 3 * 40;
        if (!ink)
            continue;
        if (!bands.empty() && bands.back().second == y - 1)
            bands.back().second = y;
        else
            bands.push_back({y, y});
    }
    return bands;
}

class TransparentTextTest : public WizardTest
{
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        WriteIni(PontiroIni().Language("en"));
        frame = CreateFrame();
        frame->Move(0, 0);
        frame->Show();
        Pump(200);
        picture = BackgroundPicture();
        ASSERT_TRUE(picture.IsOk());
    }

    wxPontiroFrame* frame = nullptr;
    wxImage picture;
};
}

TEST(TransparentText, SplitKeepsEveryLine)
{
    const struct
    {
        const char* label;
        size_t lines;
    } cases[] = {{"one line", 1}, {"", 1}, {"a\nb", 2}, {"a\n\nb", 3}, {"ends\n", 2}, {"\n", 2}};
    for (const auto& c : cases)
        EXPECT_EQ(CTransparentStaticText::SplitLines(c.label).size(), c.lines) << c.label;
    EXPECT_EQ(CTransparentStaticText::SplitLines("a\n\nb")[1], "");
}

TEST_F(TransparentTextTest, TextsAreBlackGlyphsOnThePicture)
{
    const wxImage shot = Screenshot(frame);
    SaveArtifact(shot, "transparent-text-welcome");
    ASSERT_EQ(shot.GetSize(), picture.GetSize());

    std::vector<wxWindow*> texts = {m_driver->TitleText()};
    for (wxWindow* window : WindowsOf(m_driver->ContentSizer()))
        if (dynamic_cast<CTransparentStaticText*>(window))
            texts.push_back(window);
    ASSERT_EQ(texts.size(), 4u);
    for (wxWindow* text : texts)
    {
        SCOPED_TRACE(Describe(text));
        const Inspection seen = Inspect(shot, picture, RectOf(text));
        EXPECT_EQ(seen.foreign, 0);
        EXPECT_GT(seen.ink, 20);
        EXPECT_GT(seen.same, seen.total / 3);
        // Black, not the parent's or the theme's text colour.
        EXPECT_LT(seen.darkest, 3 * 40);
    }

    // Where there is no control, the window shows its picture.
    const Inspection free = Inspect(shot, picture, wxRect(0, 262, 200, 10));
    EXPECT_EQ(free.same, free.total);
}

TEST_F(TransparentTextTest, TwoLineBreaksDrawThreeLines)
{
    frame->ClearPage();
    frame->Layout();
    // Black even when the parent asks for red.
    frame->SetForegroundColour(*wxRED);
    auto* text = new CTransparentStaticText(frame, wxID_ANY, "First line\n\nThird line",
                                            wxPoint(40, 100));
    text->SetFont(wxFont(10, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
    text->SetSize(text->GetBestSize());
    auto* empty = new CTransparentStaticText(frame, wxID_ANY, "", wxPoint(300, 100),
                                             wxSize(60, 40));

    const int lineHeight = text->GetCharHeight();
    EXPECT_EQ(text->GetSize().GetHeight(), 3 * lineHeight);
    // A final line break leaves one empty line below the text.
    auto* ends = new CTransparentStaticText(frame, wxID_ANY, "ends\n", wxPoint(300, 200));
    auto* plain = new CTransparentStaticText(frame, wxID_ANY, "ends", wxPoint(400, 200));
    EXPECT_EQ(ends->GetBestSize().GetHeight(), 2 * plain->GetBestSize().GetHeight());
    ends->Destroy();
    plain->Destroy();

    const wxImage shot = Screenshot(frame);
    SaveArtifact(shot, "transparent-text-three-lines");

    const auto bands = InkBands(shot, picture, RectOf(text));
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_LT(bands[0].first, 100 + lineHeight);
    // The empty middle line leaves its whole height blank.
    EXPECT_GE(bands[1].first, 100 + 2 * lineHeight);
    EXPECT_GE(bands[1].first - bands[0].second, lineHeight);

    const Inspection seen = Inspect(shot, picture, RectOf(text));
    EXPECT_EQ(seen.foreign, 0);
    EXPECT_LT(seen.darkest, 3 * 40);

    const Inspection blank = Inspect(shot, picture, RectOf(empty));
    EXPECT_EQ(blank.same, blank.total);
}
