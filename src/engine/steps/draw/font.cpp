#include "engine/steps/draw/font.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <memory>

namespace draw {

namespace {

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

// fontconfig compares family names without regard to case and blanks.
QString familyKey(const QString& family)
{
    QString key = family.toCaseFolded();
    key.remove(QLatin1Char(' '));
    return key;
}

QString fcString(const FcChar8* text)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(text));
}

// The family fontconfig would give for the name, when that family is the name itself or one bound
// strongly to it by the configuration (aliases of metric-compatible faces).
std::optional<QString> matchedFamily(const QString& family)
{
    if (family.trimmed().isEmpty() || FcInit() == FcFalse) {
        return std::nullopt;
    }
    const Pattern pattern(FcPatternCreate());
    if (!pattern) {
        return std::nullopt;
    }
    const QByteArray name = family.toUtf8();
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.constData()));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());

    // Families in the substituted pattern with a strong binding: the requested name (added strong)
    // and the aliases the configuration binds strongly. Weak ones are mere fallbacks.
    QStringList strongFamilies;
    FcValue value;
    FcValueBinding binding;
    for (int id = 0; FcPatternGetWithBinding(pattern.get(), FC_FAMILY, id, &value, &binding) == FcResultMatch; ++id) {
        if (value.type == FcTypeString && binding == FcValueBindingStrong) {
            strongFamilies << familyKey(fcString(value.u.s));
        }
    }

    FcResult result = FcResultNoMatch;
    const Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match) {
        return std::nullopt;
    }
    FcChar8* matched = nullptr;
    for (int id = 0; FcPatternGetString(match.get(), FC_FAMILY, id, &matched) == FcResultMatch; ++id) {
        if (strongFamilies.contains(familyKey(fcString(matched)))) {
            return fcString(matched);
        }
    }
    return std::nullopt;
}

} // namespace

bool fontFamilyAvailable(const QString& family)
{
    return matchedFamily(family).has_value();
}

std::optional<QFont> loadFont(const QString& family, int points, FontStyle style)
{
    // A QFont without a QGuiApplication is fatal in Qt; without one there is no font to load.
    constexpr int maxPoints = 24000; // 32000 pixels: beyond any page, and no overflow below
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr || points < 1 || points > maxPoints) {
        return std::nullopt;
    }
    const std::optional<QString> matched = matchedFamily(family);
    if (!matched) {
        return std::nullopt;
    }
    // The face fontconfig matched, by name, so Qt's own fallback cannot pick a different one.
    QFont font(*matched);
    // Points at 96 pixels per inch, rounded as the desktop's own point-to-pixel conversion does, so
    // the text size does not depend on the (offscreen) screen.
    font.setPixelSize((points * 96 + 36) / 72);
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    font.setStrikeOut(style.strikeout);
    return font;
}

} // namespace draw
