// Console runs with each frame and watermark option, on a plain page, with no display at all:
// the frame bands, the text box and the picture are found in the output pixel by pixel.
#include "support/converted_page.h"
#include "support/no_display.h"
#include "support/pixel_probe.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>

namespace {

using e2e::ConvertedPage;
using e2e::describe;
using e2e::near;
using e2e::RunResult;
using e2e::Sandbox;
using fixtures::Rgb;

constexpr int pageWidth = 60;
constexpr int pageHeight = 40;
const Rgb pageColour{40, 80, 120};
const Rgb black{0, 0, 0};
const Rgb red{255, 0, 0};
const Rgb green{0, 255, 0};
const Rgb blue{0, 0, 255};
const Rgb white{255, 255, 255};

// A sandbox with the plain page in/page.tif and a 12 x 8 picture, yellow on the left half and
// magenta on the right, as logo.png.
class DrawingRun {
  public:
    DrawingRun()
    {
        EXPECT_TRUE(box.isValid());
        e2e::writePage(
            box, QStringLiteral("page"),
            fixtures::makeSolidPage(pageWidth, pageHeight, pageColour.red, pageColour.green, pageColour.blue));
        Bitmap logo(FreeImage_Allocate(12, 8, 24));
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 12; ++x) {
                RGBQUAD colour{};
                colour.rgbRed = 255;
                colour.rgbGreen = x < 6 ? 255 : 0;
                colour.rgbBlue = x < 6 ? 0 : 255;
                FreeImage_SetPixelColor(logo.get(), static_cast<unsigned>(x), static_cast<unsigned>(y), &colour);
            }
        }
        EXPECT_TRUE(FreeImage_Save(FIF_PNG, logo.get(), QFile::encodeName(box.path("logo.png")).constData(), 0));
    }

    ConvertedPage convert(const QStringList& options)
    {
        ConvertedPage result = e2e::convertPage(box, QStringLiteral("page"), QString::number(++runs), options);
        EXPECT_EQ(result.run.exitCode, 0) << result.run.err.constData();
        EXPECT_TRUE(result.run.err.isEmpty()) << result.run.err.constData();
        EXPECT_TRUE(result.image);
        if (result.image) {
            EXPECT_EQ(result.image.width(), static_cast<unsigned>(pageWidth));
            EXPECT_EQ(result.image.height(), static_cast<unsigned>(pageHeight));
        }
        return result;
    }

    e2e::NoDisplay noDisplay; // the console tool must draw without any display
    Sandbox box;
    int runs = 0;
};

// ---- Solid frames.

struct FrameCase {
    const char* name;
    QStringList options;
    int left, right, top, bottom;
    Rgb leftColour, rightColour, topColour, bottomColour;
    int opacity = 255;
    friend void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }
};

// The colour pixel (x, y) must have, or nothing for a pixel on a corner's diagonal, where the two
// bands meet.
std::optional<Rgb> expectedFrameColour(const FrameCase& c, int x, int y)
{
    const bool inLeft = x < c.left;
    const bool inRight = x >= pageWidth - c.right;
    const bool inTop = y < c.top;
    const bool inBottom = y >= pageHeight - c.bottom;
    if (!inLeft && !inRight && !inTop && !inBottom) {
        return pageColour;
    }
    // Within a corner square the band is the one whose side the pixel is nearer, measured along the
    // diagonal from the page corner to the inner corner.
    const auto split = [](double across, double width, double down, double height) -> std::optional<bool> {
        const double a = across / width;
        const double d = down / height;
        if (std::abs(a - d) * std::max(width, height) < 1.0) {
            return std::nullopt;
        }
        return a > d; // true: the horizontal band
    };
    const double cx = x + 0.5;
    const double cy = y + 0.5;
    Rgb colour = inLeft ? c.leftColour : inRight ? c.rightColour : inTop ? c.topColour : c.bottomColour;
    if ((inLeft || inRight) && (inTop || inBottom)) {
        const double across = inLeft ? cx : pageWidth - cx;
        const double down = inTop ? cy : pageHeight - cy;
        const auto horizontal = split(across, inLeft ? c.left : c.right, down, inTop ? c.top : c.bottom);
        if (!horizontal) {
            return std::nullopt;
        }
        colour = *horizontal ? (inTop ? c.topColour : c.bottomColour) : (inLeft ? c.leftColour : c.rightColour);
    }
    const auto blend = [&c](unsigned over, unsigned under) {
        return static_cast<unsigned>((over * c.opacity + under * (255 - c.opacity) + 127) / 255);
    };
    return Rgb{blend(colour.red, pageColour.red), blend(colour.green, pageColour.green),
               blend(colour.blue, pageColour.blue)};
}

class SolidFrame : public testing::TestWithParam<FrameCase> {};

TEST_P(SolidFrame, PaintsItsBandsAndLeavesTheInsideAlone)
{
    const FrameCase& c = GetParam();
    DrawingRun run;
    const ConvertedPage out = run.convert(c.options);
    ASSERT_TRUE(out.image);
    int wrong = 0;
    int framed = 0;
    for (int y = 0; y < pageHeight; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            const std::optional<Rgb> expected = expectedFrameColour(c, x, y);
            if (!expected) {
                continue;
            }
            const Rgb got = fixtures::colourAt(out.image, x, y);
            framed += got != pageColour ? 1 : 0;
            if (!near(got, *expected, c.opacity == 255 ? 0 : 1) && ++wrong <= 3) {
                ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << describe(got) << ", expected "
                              << describe(*expected);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    const bool anyFrame = c.left + c.right + c.top + c.bottom > 0;
    EXPECT_EQ(framed > 0, anyFrame);
}

INSTANTIATE_TEST_SUITE_P(
    Console, SolidFrame,
    testing::Values(
        // Each width alone turns the frame on, black by default.
        FrameCase{"Left", {"--fr-solid-left=6"}, 6, 0, 0, 0, black, black, black, black},
        FrameCase{"Right", {"--fr-solid-right=6"}, 0, 6, 0, 0, black, black, black, black},
        FrameCase{"Top", {"--fr-solid-top=5"}, 0, 0, 5, 0, black, black, black, black},
        FrameCase{"Bottom", {"--fr-solid-bottom=5"}, 0, 0, 0, 5, black, black, black, black},
        FrameCase{
            "LeftColour", {"--fr-solid-left=6", "--fr-solid-left-color=FF0000"}, 6, 0, 0, 0, red, black, black, black},
        FrameCase{"RightColour",
                  {"--fr-solid-right=6", "--fr-solid-right-color=00ff00"},
                  0,
                  6,
                  0,
                  0,
                  black,
                  green,
                  black,
                  black},
        FrameCase{
            "TopColour", {"--fr-solid-top=5", "--fr-solid-top-color=0000FF"}, 0, 0, 5, 0, black, black, blue, black},
        FrameCase{"BottomColour",
                  {"--fr-solid-bottom=5", "--fr-solid-bottom-color=FFFFFF"},
                  0,
                  0,
                  0,
                  5,
                  black,
                  black,
                  black,
                  white},
        // The corner squares split on their diagonals between the two bands that meet there.
        FrameCase{"FourBandsMeetOnTheDiagonals",
                  {"--fr-solid-left=8", "--fr-solid-right=6", "--fr-solid-top=10", "--fr-solid-bottom=4",
                   "--fr-solid-left-color=FF0000", "--fr-solid-right-color=00FF00", "--fr-solid-top-color=0000FF",
                   "--fr-solid-bottom-color=FFFFFF"},
                  8,
                  6,
                  10,
                  4,
                  red,
                  green,
                  blue,
                  white},
        FrameCase{"HalfOpaque",
                  {"--fr-solid-left=6", "--fr-solid-left-color=FFFFFF", "--fr-solid-opacity=128"},
                  6,
                  0,
                  0,
                  0,
                  white,
                  black,
                  black,
                  black,
                  128},
        // A colour without a width draws nothing.
        FrameCase{"ColourAloneDrawsNothing", {"--fr-solid-left-color=FF0000"}, 0, 0, 0, 0, red, red, red, red}),
    [](const testing::TestParamInfo<FrameCase>& info) { return std::string(info.param.name); });

// ---- Text watermarks: plain red text on an opaque green box, found by the box's pixels.

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Box&) const = default;
    friend void PrintTo(const Box& b, std::ostream* os)
    {
        *os << b.width << "x" << b.height << " at (" << b.left << "," << b.top << ")";
    }
};

// What a text watermark left on the page.
struct Mark {
    Box box;       // the pixels of the box colour, and everything within them
    int text = 0;  // pixels of exactly the text colour
    int other = 0; // pixels neither page, box nor text colour
    std::vector<Rgb> pixels;
};

Mark markOf(const Bitmap& image, const Rgb& textColour = red, const Rgb& boxColour = green)
{
    Mark mark;
    mark.pixels = e2e::pixelsOf(image);
    int left = pageWidth, top = pageHeight, right = -1, bottom = -1;
    for (int y = 0; y < pageHeight; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            const Rgb pixel = mark.pixels[static_cast<std::size_t>(y * pageWidth + x)];
            if (pixel == boxColour) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            } else if (pixel == textColour) {
                ++mark.text;
            } else if (pixel != pageColour) {
                ++mark.other;
            }
        }
    }
    if (right >= 0) {
        mark.box = Box{left, top, right - left + 1, bottom - top + 1};
    }
    return mark;
}

// Text, box and placement every case starts from; a case's options come after and override.
const QStringList textBase{"--wm-text=Ab",           "--wm-font=DejaVu Sans",      "--wm-font-size=9",
                           "--wm-font-color=FF0000", "--wm-back-color=00FF00",     "--wm-back-opacity=255",
                           "--wm-text-padding=1",    "--wm-text-position=topleft", "--wm-text-x-offset=4",
                           "--wm-text-y-offset=3"};

class TextWatermark : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        run = new DrawingRun;
        base = new Mark(markOf(run->convert(textBase).image));
    }
    static void TearDownTestSuite()
    {
        delete base;
        delete run;
    }
    static DrawingRun* run;
    static Mark* base;
};

DrawingRun* TextWatermark::run = nullptr;
Mark* TextWatermark::base = nullptr;

TEST_F(TextWatermark, DrawsPlainTextInItsBoxAtTheOffsets)
{
    ASSERT_GT(base->box.width, 2);
    EXPECT_EQ(base->box.left, 4);
    EXPECT_EQ(base->box.top, 3);
    EXPECT_GT(base->text, 5) << "the letters are there";
    EXPECT_EQ(base->other, 0) << "plain text has only the text and box colours";
    // Nothing outside the box changes.
    for (int y = 0; y < pageHeight; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            const bool inside = x >= base->box.left && x < base->box.left + base->box.width && y >= base->box.top &&
                                y < base->box.top + base->box.height;
            if (!inside) {
                ASSERT_EQ(base->pixels[static_cast<std::size_t>(y * pageWidth + x)], pageColour) << x << "," << y;
            }
        }
    }
}

struct TextCase {
    const char* name;
    QStringList options;
    std::function<testing::AssertionResult(const Mark& base, const Mark& got)> check;
    Rgb textColour = red;
    Rgb boxColour = green;
    friend void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }
};

class TextOption : public TextWatermark, public testing::WithParamInterface<TextCase> {};

TEST_P(TextOption, ChangesTheMark)
{
    const TextCase& c = GetParam();
    const ConvertedPage out = run->convert(textBase + c.options);
    ASSERT_TRUE(out.image);
    const Mark got = markOf(out.image, c.textColour, c.boxColour);
    EXPECT_NE(got.pixels, base->pixels) << "the option changes nothing";
    EXPECT_TRUE(c.check(*base, got));
}

testing::AssertionResult boxIs(const Mark& got, Box expected)
{
    if (got.box == expected) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "box " << testing::PrintToString(got.box) << ", expected "
                                       << testing::PrintToString(expected);
}

testing::AssertionResult sameBoxDifferentText(const Mark& base, const Mark& got)
{
    if (got.box != base.box && got.box.left == base.box.left && got.box.top == base.box.top) {
        return testing::AssertionSuccess(); // another face may measure differently
    }
    return got.pixels != base.pixels ? testing::AssertionSuccess() : testing::AssertionFailure() << "same letters";
}

testing::AssertionResult moreText(const Mark& base, const Mark& got)
{
    if (got.text > base.text && got.box.left == base.box.left && got.box.top == base.box.top) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << got.text << " text pixels, " << base.text << " without the option";
}

// The box of the base watermark moved to the anchor `position` (0 top-left .. 8 bottom-right).
Box placed(const Mark& base, int position, int xOffset = 4, int yOffset = 3)
{
    const int w = base.box.width;
    const int h = base.box.height;
    const int column = position % 3;
    const int row = position / 3;
    const int x = column == 0 ? xOffset : column == 1 ? (pageWidth - w) / 2 : pageWidth - w - xOffset;
    const int y = row == 0 ? yOffset : row == 1 ? (pageHeight - h) / 2 : pageHeight - h - yOffset;
    return Box{x, y, w, h};
}

TextCase positionCase(const char* name, const char* keyword, int position)
{
    return TextCase{name,
                    {QStringLiteral("--wm-text-position=") + QLatin1String(keyword)},
                    [position](const Mark& base, const Mark& got) { return boxIs(got, placed(base, position)); }};
}

INSTANTIATE_TEST_SUITE_P(
    Console, TextOption,
    testing::Values(TextCase{"OtherText", {"--wm-text=Xy"}, sameBoxDifferentText},
                    TextCase{"Font", {"--wm-font=Liberation Serif"}, sameBoxDifferentText},
                    TextCase{"FontSize",
                             {"--wm-font-size=14"},
                             [](const Mark& base, const Mark& got) {
                                 return got.box.width > base.box.width && got.box.height > base.box.height &&
                                                got.text > base.text
                                            ? testing::AssertionSuccess()
                                            : testing::AssertionFailure() << testing::PrintToString(got.box);
                             }},
                    TextCase{"FontColour",
                             {"--wm-font-color=0000FF"},
                             [](const Mark& base, const Mark& got) {
                                 return got.text == base.text && got.box == base.box && got.other == 0
                                            ? testing::AssertionSuccess()
                                            : testing::AssertionFailure()
                                                  << got.text << " blue pixels for " << base.text;
                             },
                             blue},
                    TextCase{"Bold", {"--wm-font-style=bold"}, moreText},
                    TextCase{"Italic", {"--wm-font-style=italic"}, sameBoxDifferentText},
                    TextCase{"BoldItalic", {"--wm-font-style=bolditalic"}, moreText},
                    TextCase{"Underline", {"--wm-font-effect=underline"}, moreText},
                    TextCase{"Strikethrough", {"--wm-font-effect=strikethrought"}, moreText},
                    // Anti-aliased edges blend text and box colours.
                    TextCase{"Antialiasing",
                             {"--wm-text-antialiasing"},
                             [](const Mark& base, const Mark& got) {
                                 return got.other > 0 && got.box.left == base.box.left && got.box.top == base.box.top
                                            ? testing::AssertionSuccess()
                                            : testing::AssertionFailure() << "no blended pixels";
                             }},
                    TextCase{"Padding",
                             {"--wm-text-padding=4"},
                             [](const Mark& base, const Mark& got) {
                                 return boxIs(got, Box{4, 3, base.box.width + 6, base.box.height + 6});
                             }},
                    TextCase{"TextOpacity",
                             {"--wm-text-opacity=128"},
                             [](const Mark& base, const Mark& got) {
                                 // Plain letters replace the box pixels, so half-opaque red lets the page, not the box,
                                 // show through.
                                 if (got.text != 0 || got.box != base.box) {
                                     return testing::AssertionFailure() << got.text << " pure text pixels";
                                 }
                                 const long half =
                                     std::count_if(got.pixels.begin(), got.pixels.end(), [](const Rgb& p) {
                                         return near(p, Rgb{148, 40, 60}, 2);
                                     });
                                 return half == base.text
                                            ? testing::AssertionSuccess()
                                            : testing::AssertionFailure() << half << " half pixels for " << base.text;
                             }},
                    TextCase{"BackColour",
                             {"--wm-back-color=0000FF"},
                             [](const Mark& base, const Mark& got) { return boxIs(got, base.box); },
                             red,
                             blue},
                    // At the lowest opacity the box all but vanishes; the letters stay.
                    TextCase{"BackOpacity",
                             {"--wm-back-opacity=1"},
                             [](const Mark& base, const Mark& got) {
                                 return got.box == Box{} && got.text == base.text
                                            ? testing::AssertionSuccess()
                                            : testing::AssertionFailure() << testing::PrintToString(got.box);
                             }},
                    TextCase{"XOffset",
                             {"--wm-text-x-offset=11"},
                             [](const Mark& base, const Mark& got) {
                                 return boxIs(got, Box{11, 3, base.box.width, base.box.height});
                             }},
                    TextCase{"YOffset",
                             {"--wm-text-y-offset=9"},
                             [](const Mark& base, const Mark& got) {
                                 return boxIs(got, Box{4, 9, base.box.width, base.box.height});
                             }},
                    TextCase{"Rotation",
                             {"--wm-text-rotation=90"},
                             [](const Mark& base, const Mark& got) {
                                 return boxIs(got, Box{4, 3, base.box.height, base.box.width});
                             }},
                    // At other angles the corners the turn adds stay transparent: the page shows there, never black.
                    TextCase{"RotationAnyAngle",
                             {"--wm-text-rotation=30"},
                             [](const Mark& base, const Mark& got) {
                                 const long dark = std::count_if(got.pixels.begin(), got.pixels.end(),
                                                                 [](const Rgb& p) { return near(p, black, 24); });
                                 return dark == 0 && got.box.height > base.box.height
                                            ? testing::AssertionSuccess()
                                            : testing::AssertionFailure()
                                                  << dark << " black pixels, box " << testing::PrintToString(got.box);
                             }},
                    // Within the frame, the offsets count from the frame's inner edge.
                    TextCase{"BoundaryFrame",
                             {"--fr-solid-left=7", "--fr-solid-top=5", "--wm-text-boundary=frame"},
                             [](const Mark& base, const Mark& got) {
                                 return boxIs(got, Box{11, 8, base.box.width, base.box.height});
                             }},
                    TextCase{"BoundaryImage",
                             {"--fr-solid-left=7", "--fr-solid-top=5", "--wm-text-boundary=image"},
                             [](const Mark& base, const Mark& got) { return boxIs(got, base.box); }},
                    positionCase("TopCenter", "topcenter", 1), positionCase("TopRight", "topright", 2),
                    positionCase("MiddleLeft", "middleleft", 3), positionCase("MiddleCenter", "middlecenter", 4),
                    positionCase("MiddleRight", "middleright", 5), positionCase("BottomLeft", "bottomleft", 6),
                    positionCase("BottomCenter", "bottomcenter", 7), positionCase("BottomRight", "bottomright", 8)),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST_F(TextWatermark, LeadingAndAlignmentShapeSeveralLines)
{
    const QStringList lines{"--wm-text=Wide line%eol%i"};
    const Mark packed = markOf(run->convert(textBase + lines).image);
    const Mark spaced = markOf(run->convert(textBase + lines + QStringList{"--wm-font-leading=6"}).image);
    EXPECT_GT(packed.box.height, base->box.height) << "two lines are taller than one";
    EXPECT_EQ(spaced.box, (Box{packed.box.left, packed.box.top, packed.box.width, packed.box.height + 6}));

    // The short second line sits at the left, in the middle or at the right of the box.
    const auto secondLineCentre = [](const Mark& mark) {
        int sum = 0;
        int count = 0;
        for (int y = mark.box.top + mark.box.height / 2 + 1; y < mark.box.top + mark.box.height; ++y) {
            for (int x = mark.box.left; x < mark.box.left + mark.box.width; ++x) {
                if (mark.pixels[static_cast<std::size_t>(y * pageWidth + x)] == red) {
                    sum += x;
                    ++count;
                }
            }
        }
        return count > 0 ? sum / count : -1;
    };
    const int left =
        secondLineCentre(markOf(run->convert(textBase + lines + QStringList{"--wm-text-alignment=left"}).image));
    const int centre =
        secondLineCentre(markOf(run->convert(textBase + lines + QStringList{"--wm-text-alignment=center"}).image));
    const int right =
        secondLineCentre(markOf(run->convert(textBase + lines + QStringList{"--wm-text-alignment=right"}).image));
    ASSERT_GE(left, 0);
    EXPECT_LT(left + 5, centre);
    EXPECT_LT(centre + 5, right);
    EXPECT_EQ(left, secondLineCentre(packed)) << "left is the default";
}

TEST_F(TextWatermark, UnknownFontIsRefused)
{
    const RunResult refused = run->box.run({"-i", "in/page.tif", "-o", run->box.makeFolder("refused"), "-c", "png",
                                            "--wm-text=Ab", "--wm-font=No Such Face 4711"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.errLines(),
              (QStringList{"Error: Invalid watermark font",
                           "  no font family \"No Such Face 4711\" is installed; name one that fc-list : family lists, "
                           "as in --wm-font=\"Liberation Sans\""}));
    EXPECT_EQ(run->box.filesBelow("refused"), QStringList());
}

// ---- Picture watermarks: the 12 x 8 logo, bottom-right 10 pixels from the edges by default.

struct PictureCase {
    const char* name;
    QStringList options;
    int left, top;
    // The colour expected at picture pixel (x, y) as drawn, and the drawn size.
    int width, height;
    std::function<Rgb(int x, int y)> colour;
    friend void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.name; }
};

class PictureWatermark : public testing::TestWithParam<PictureCase> {};

TEST_P(PictureWatermark, CoversItsPlaceAndNothingElse)
{
    const PictureCase& c = GetParam();
    DrawingRun run;
    const ConvertedPage out = run.convert(QStringList{"--wm-image=logo.png"} + c.options);
    ASSERT_TRUE(out.image);
    int wrong = 0;
    for (int y = 0; y < pageHeight; ++y) {
        for (int x = 0; x < pageWidth; ++x) {
            const bool inside = x >= c.left && x < c.left + c.width && y >= c.top && y < c.top + c.height;
            const Rgb got = fixtures::colourAt(out.image, x, y);
            if (!inside) {
                // The frame of the frame cases is black; everything else is page.
                if (got != pageColour && got != black && ++wrong <= 3) {
                    ADD_FAILURE() << "pixel (" << x << "," << y << ") outside the picture is " << describe(got);
                }
                continue;
            }
            const Rgb expected = c.colour(x - c.left, y - c.top);
            if (!near(got, expected, 1) && ++wrong <= 3) {
                ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << describe(got) << ", expected "
                              << describe(expected);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

const Rgb yellow{255, 255, 0};
const Rgb magenta{255, 0, 255};

Rgb logoAt(int x, int)
{
    return x < 6 ? yellow : magenta;
}

INSTANTIATE_TEST_SUITE_P(
    Console, PictureWatermark,
    testing::Values(
        PictureCase{"Default", {}, 38, 22, 12, 8, logoAt},
        // Grey by the luma weights 77/150/29 out of 256.
        PictureCase{"Greyscale",
                    {"--wm-image-greyscale"},
                    38,
                    22,
                    12,
                    8,
                    [](int x, int) {
                        return x < 6 ? Rgb{226, 226, 226} : Rgb{105, 105, 105};
                    }},
        // A picture without alpha fades to black, not to the page.
        PictureCase{"HalfOpaque",
                    {"--wm-image-opacity=128"},
                    38,
                    22,
                    12,
                    8,
                    [](int x, int) {
                        return x < 6 ? Rgb{128, 128, 0} : Rgb{128, 0, 128};
                    }},
        PictureCase{"TopLeft", {"--wm-image-position=topleft"}, 10, 10, 12, 8, logoAt},
        PictureCase{"MiddleCenter", {"--wm-image-position=middlecenter"}, 24, 16, 12, 8, logoAt},
        PictureCase{"Offsets",
                    {"--wm-image-position=topleft", "--wm-image-x-offset=2", "--wm-image-y-offset=1"},
                    2,
                    1,
                    12,
                    8,
                    logoAt},
        // A quarter turn anticlockwise: the magenta right half comes to the top.
        PictureCase{
            "Rotation", {"--wm-image-rotation=90"}, 42, 18, 8, 12, [](int, int y) { return y < 6 ? magenta : yellow; }},
        PictureCase{"BoundaryFrame",
                    {"--fr-solid-right=5", "--fr-solid-bottom=4", "--wm-image-boundary=frame"},
                    33,
                    18,
                    12,
                    8,
                    logoAt},
        PictureCase{"BoundaryImage",
                    {"--fr-solid-right=5", "--fr-solid-bottom=4", "--wm-image-boundary=image"},
                    38,
                    22,
                    12,
                    8,
                    logoAt}),
    [](const testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

} // namespace
