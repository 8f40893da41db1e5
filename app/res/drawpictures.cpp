// Draws the program's pictures: background.png (480 x 272, 8-bit RGB) and
// icon.ico (16 x 16, 24 bits per pixel), which the program carries, and the
// installation's icons icon-48.png and icon-128.png (RGBA, transparent
// corners). Their output is committed; run this only to change them:
//   cmake --build <build> --target drawpictures && <build>/app/res/drawpictures app/res
#include <wx/image.h>
#include <wx/init.h>
#include <wx/string.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{
struct Colour
{
    double r, g, b;
};

Colour Mix(const Colour& a, const Colour& b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Which points of the plane a shape covers.
using Shape = std::function<bool(double x, double y)>;

class Canvas
{
public:
    Canvas(int width, int height)
        : m_width(width), m_height(height), m_pixels(width * height), m_alpha(width * height, 1.0)
    {
    }

    void Shade(const std::function<Colour(double x, double y)>& colour)
    {
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                At(x, y) = colour(x + 0.5, y + 0.5);
    }

    // Paints a shape with anti-aliased edges.
    void Fill(const Shape& shape, const Colour& colour, double opacity = 1.0)
    {
        for (int y = 0; y < m_height; ++y)
        {
            for (int x = 0; x < m_width; ++x)
            {
                const double covered = Coverage(shape, x, y);
                if (covered > 0)
                    At(x, y) = Mix(At(x, y), colour, opacity * covered);
            }
        }
    }

    // Makes everything outside the shape transparent, with soft edges.
    void Clip(const Shape& shape)
    {
        m_clipped = true;
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                m_alpha[y * m_width + x] *= Coverage(shape, x, y);
    }

    std::vector<unsigned char> Rgb() const
    {
        std::vector<unsigned char> bytes;
        bytes.reserve(m_pixels.size() * 3);
        for (const Colour& c : m_pixels)
            for (double v : {c.r, c.g, c.b})
                bytes.push_back(static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L)));
        return bytes;
    }

    // Empty unless Clip() made parts transparent.
    std::vector<unsigned char> Alpha() const
    {
        std::vector<unsigned char> bytes;
        if (!m_clipped)
            return bytes;
        bytes.reserve(m_alpha.size());
        for (double a : m_alpha)
            bytes.push_back(static_cast<unsigned char>(std::clamp(std::lround(a * 255), 0L, 255L)));
        return bytes;
    }

    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    Colour& At(int x, int y) { return m_pixels[y * m_width + x]; }

    // Share of the pixel's 8 x 8 samples the shape covers.
    static double Coverage(const Shape& shape, int x, int y)
    {
        constexpr int kSamples = 8;
        int covered = 0;
        for (int sy = 0; sy < kSamples; ++sy)
            for (int sx = 0; sx < kSamples; ++sx)
                covered += shape(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples);
        return covered / double(kSamples * kSamples);
    }

    int m_width;
    int m_height;
    std::vector<Colour> m_pixels;
    std::vector<double> m_alpha;
    bool m_clipped = false;
};

Shape RoundedRect(double x0, double y0, double x1, double y1, double radius)
{
    return [=](double x, double y) {
        const double dx = std::max({x0 + radius - x, 0.0, x - (x1 - radius)});
        const double dy = std::max({y0 + radius - y, 0.0, y - (y1 - radius)});
        return x >= x0 && x <= x1 && y >= y0 && y <= y1 && dx * dx + dy * dy <= radius * radius;
    };
}

Shape Circle(double cx, double cy, double radius)
{
    return [=](double x, double y) {
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
    };
}

Shape Triangle(double ax, double ay, double bx, double by, double cx, double cy)
{
    return [=](double x, double y) {
        auto side = [&](double px, double py, double qx, double qy) {
            return (qx - px) * (y - py) - (qy - py) * (x - px);
        };
        const double d1 = side(ax, ay, bx, by);
        const double d2 = side(bx, by, cx, cy);
        const double d3 = side(cx, cy, ax, ay);
        return (d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0);
    };
}

// A map pin: round head with a hole, pointing down to (cx, tipY).
Shape Pin(double cx, double cy, double radius, double tipY)
{
    const Shape head = Circle(cx, cy, radius);
    const double s = radius * 0.78;
    const Shape point = Triangle(cx - s, cy + radius * 0.55, cx + s, cy + radius * 0.55, cx, tipY);
    const Shape hole = Circle(cx, cy, radius * 0.42);
    return [=](double x, double y) { return (head(x, y) || point(x, y)) && !hole(x, y); };
}

// A band of the given half width along a quadratic curve.
Shape Road(double x0, double y0, double x1, double y1, double x2, double y2, double halfWidth)
{
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i <= 96; ++i)
    {
        const double t = i / 96.0;
        const double u = 1 - t;
        points.emplace_back(u * u * x0 + 2 * u * t * x1 + t * t * x2,
                            u * u * y0 + 2 * u * t * y1 + t * t * y2);
    }
    return [=](double x, double y) {
        for (size_t i = 1; i < points.size(); ++i)
        {
            const auto [ax, ay] = points[i - 1];
            const auto [bx, by] = points[i];
            const double vx = bx - ax, vy = by - ay;
            const double t =
                std::clamp(((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
            const double dx = x - (ax + t * vx), dy = y - (ay + t * vy);
            if (dx * dx + dy * dy <= halfWidth * halfWidth)
                return true;
        }
        return false;
    };
}

const Colour kGreen{86, 150, 24};
const Colour kDeepGreen{46, 104, 38};
const Colour kWhite{255, 255, 255};

// The badge of the icon and the header: a green tile with a road and a pin.
void DrawBadge(Canvas& canvas, double x, double y, double size)
{
    const double r = size * 0.22;
    canvas.Fill(RoundedRect(x, y, x + size, y + size, r), kDeepGreen);
    canvas.Fill(RoundedRect(x, y, x + size, y + size * 0.55, r), kGreen, 0.55);
    canvas.Fill(Road(x + size * 0.05, y + size * 0.98, x + size * 0.55, y + size * 0.70,
                     x + size * 0.98, y + size * 0.80, size * 0.075),
                kWhite, 0.85);
    canvas.Fill(Pin(x + size * 0.5, y + size * 0.36, size * 0.22, y + size * 0.80), kWhite);
}

Canvas DrawBackground()
{
    Canvas canvas(480, 272);
    const Colour top{250, 252, 248};
    const Colour bottom{226, 236, 222};
    canvas.Shade([&](double, double y) { return Mix(top, bottom, y / 272.0); });

    // Faint roads sweeping through the lower right, far too pale to compete
    // with the page's text.
    canvas.Fill(Road(150, 290, 330, 170, 500, 215, 26), kGreen, 0.07);
    canvas.Fill(Road(260, 290, 400, 215, 500, 250, 10), kGreen, 0.06);
    canvas.Fill(Road(-20, 150, 200, 250, 330, 300, 14), kGreen, 0.04);

    // Header: the badge in the free corner left of the title, and a soft
    // band behind the title row (the window draws its own line below it).
    canvas.Fill(RoundedRect(0, 0, 480, 56, 0), kWhite, 0.5);
    DrawBadge(canvas, 14, 6, 42);
    canvas.Fill(RoundedRect(64, 20, 132, 25, 2.5), kDeepGreen, 0.85);
    canvas.Fill(RoundedRect(64, 31, 114, 35, 2), kGreen, 0.6);
    return canvas;
}

Canvas DrawIcon()
{
    Canvas canvas(16, 16);
    canvas.Shade([](double, double) { return kWhite; });
    DrawBadge(canvas, 0, 0, 16);
    return canvas;
}

// The badge alone, for menus and software centres: the tile's own colour
// behind its edges, so that they fade out rather than to white.
Canvas DrawInstalledIcon(int size)
{
    Canvas canvas(size, size);
    canvas.Shade([](double, double) { return kDeepGreen; });
    DrawBadge(canvas, 0, 0, size);
    canvas.Clip(RoundedRect(0, 0, size, size, size * 0.22));
    return canvas;
}

bool SavePng(const Canvas& canvas, const wxString& path)
{
    std::vector<unsigned char> rgb = canvas.Rgb();
    std::vector<unsigned char> alpha = canvas.Alpha();
    wxImage image(canvas.Width(), canvas.Height(), rgb.data(), true);
    if (!alpha.empty())
        image.SetAlpha(alpha.data(), true);
    return image.SaveFile(path, wxBITMAP_TYPE_PNG);
}

void Put16(std::vector<unsigned char>& out, unsigned v)
{
    out.push_back(v & 0xff);
    out.push_back((v >> 8) & 0xff);
}

void Put32(std::vector<unsigned char>& out, uint32_t v)
{
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

// Written by hand so that the file holds exactly one 24-bit picture.
bool SaveIco(const Canvas& canvas, const char* path)
{
    const int w = canvas.Width(), h = canvas.Height();
    const std::vector<unsigned char> rgb = canvas.Rgb();
    const int xorRow = (w * 3 + 3) / 4 * 4;
    const int andRow = ((w + 31) / 32) * 4;
    const uint32_t dibSize = 40 + xorRow * h + andRow * h;

    std::vector<unsigned char> out;
    Put16(out, 0); // reserved
    Put16(out, 1); // icon
    Put16(out, 1); // one picture
    out.push_back(static_cast<unsigned char>(w));
    out.push_back(static_cast<unsigned char>(h));
    out.push_back(0); // no palette
    out.push_back(0);
    Put16(out, 1);  // planes
    Put16(out, 24); // bits per pixel
    Put32(out, dibSize);
    Put32(out, 6 + 16);

    Put32(out, 40);
    Put32(out, w);
    Put32(out, 2 * h); // picture and mask
    Put16(out, 1);
    Put16(out, 24);
    for (int i = 0; i < 6; ++i)
        Put32(out, 0);
    for (int y = h - 1; y >= 0; --y)
    {
        for (int x = 0; x < w; ++x)
        {
            const unsigned char* p = &rgb[(y * w + x) * 3];
            out.insert(out.end(), {p[2], p[1], p[0]});
        }
        out.insert(out.end(), xorRow - w * 3, 0);
    }
    out.insert(out.end(), andRow * h, 0); // fully opaque

    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: drawpictures <output folder>\n");
        return 2;
    }
    wxInitializer init;
    wxImage::AddHandler(new wxPNGHandler);
    const std::string folder = argv[1];
    const bool ok = SavePng(DrawBackground(), wxString::FromUTF8(folder + "/background.png")) &&
                    SaveIco(DrawIcon(), (folder + "/icon.ico").c_str()) &&
                    SavePng(DrawInstalledIcon(48), wxString::FromUTF8(folder + "/icon-48.png")) &&
                    SavePng(DrawInstalledIcon(128), wxString::FromUTF8(folder + "/icon-128.png"));
    if (!ok)
    {
        std::fprintf(stderr, "drawpictures: could not write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
