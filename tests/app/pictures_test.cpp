// The two pictures the program carries.
#include "tests/app/guitest.h"

#include "app/app.h"
#include "app/pictures.h"

#include <wx/icon.h>
#include <wx/mstream.h>

TEST(Pictures, BackgroundIsAn8BitRgbPngOfTheWindowSize)
{
    ASSERT_GT(g_backgroundPngSize, 33u);
    const unsigned char* ihdr = g_backgroundPng + 16;
    auto be32 = [](const unsigned char* p) { return p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; };
    EXPECT_EQ(be32(ihdr), 480);
    EXPECT_EQ(be32(ihdr + 4), 272);
    EXPECT_EQ(ihdr[8], 8);  // bits per sample
    EXPECT_EQ(ihdr[9], 2);  // RGB, no alpha, no palette

    const wxImage picture = BackgroundPicture();
    ASSERT_TRUE(picture.IsOk());
    EXPECT_EQ(picture.GetSize(), wxSize(480, 272));
    EXPECT_FALSE(picture.HasAlpha());
}

TEST(Pictures, IconIsOne16By16PictureAt24Bits)
{
    ASSERT_GT(g_iconIcoSize, 22u);
    const unsigned char* p = g_iconIco;
    EXPECT_EQ(p[2] | p[3] << 8, 1);   // an icon
    EXPECT_EQ(p[4] | p[5] << 8, 1);   // one picture
    EXPECT_EQ(p[6], 16);
    EXPECT_EQ(p[7], 16);
    EXPECT_EQ(p[12] | p[13] << 8, 24);

    wxMemoryInputStream in(g_iconIco, g_iconIcoSize);
    const wxImage picture(in, wxBITMAP_TYPE_ICO);
    ASSERT_TRUE(picture.IsOk());
    EXPECT_EQ(picture.GetSize(), wxSize(16, 16));

    const wxIcon icon = LoadProgramIcon();
    ASSERT_TRUE(icon.IsOk());
    EXPECT_EQ(icon.GetWidth(), 16);
}
