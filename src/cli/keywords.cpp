#include "cli/keywords.h"

#include <QLatin1StringView>

std::int32_t keywordValue(ChoiceList choices, QStringView text)
{
    const QString upper = text.toString().toUpper();
    for (std::size_t place = 0; place < choices.size(); ++place) {
        const char* keyword = choices[place].keyword;
        if (keyword[0] != '\0' && upper == QLatin1StringView(keyword)) {
            return static_cast<std::int32_t>(place);
        }
    }
    return 0;
}

QString keywordText(ChoiceList choices, std::int32_t value)
{
    if (value < 0 || static_cast<std::size_t>(value) >= choices.size()) {
        return {};
    }
    return QString::fromLatin1(choices[static_cast<std::size_t>(value)].keyword).toLower();
}

QStringList keywordNames(ChoiceList choices)
{
    QStringList names;
    for (const Choice& choice : choices) {
        if (choice.keyword[0] != '\0') {
            names << QString::fromLatin1(choice.keyword);
        }
    }
    return names;
}
