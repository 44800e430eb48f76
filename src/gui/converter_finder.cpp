#include "gui/converter_finder.h"

#include "app/message_catalogue.h"
#include "gui/web_links.h"
#include "online/web_addresses.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int extensionCut = 12;
constexpr QSize finderSize(370, 60);
constexpr int fieldWidth = 80;
constexpr int buttonWidth = 80;

bool isAsciiLetterOrDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

QLineEdit* extensionField(QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setFixedWidth(fieldWidth);
    return field;
}

} // namespace

QString finderExtension(const QString& fieldText)
{
    QString extension;
    for (const QChar c : fieldText.toLower().left(extensionCut)) {
        if (isAsciiLetterOrDigit(c)) {
            extension += c;
        }
    }
    return extension;
}

ConverterFinder::ConverterFinder(QWidget* parent, WarningBox showWarning)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      showWarning_(std::move(showWarning))
{
    setWindowTitle(message(QStringLiteral("Custom-Converter/Title")));
    source_ = extensionField(this);
    target_ = extensionField(this);
    search_ = new QPushButton(message(QStringLiteral("Custom-Converter/Search")), this);
    search_->setFixedWidth(buttonWidth);
    search_->setDefault(true);
    connect(search_, &QPushButton::clicked, this, &ConverterFinder::search);

    auto* row = new QHBoxLayout(this);
    row->addWidget(new QLabel(message(QStringLiteral("Custom-Converter/From")), this));
    row->addWidget(source_);
    row->addSpacing(20);
    row->addWidget(new QLabel(message(QStringLiteral("Custom-Converter/To")), this));
    row->addWidget(target_);
    row->addSpacing(20);
    row->addWidget(search_);
    setFixedSize(sizeHint().expandedTo(finderSize));
    source_->setFocus();
}

void ConverterFinder::search()
{
    const QString source = finderExtension(source_->text());
    const QString target = finderExtension(target_->text());
    if (source.isEmpty() || target.isEmpty()) {
        showWarning_(message(QStringLiteral("Msg/Empty extensions")));
        return;
    }
    hide();
    openDocument(converterFinderAddress(source, target));
    accept();
}

void showConverterFinder(QWidget* parent, ConverterFinder::WarningBox showWarning)
{
    ConverterFinder finder(parent, std::move(showWarning));
    finder.exec();
}
