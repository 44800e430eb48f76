#include "gui/message_boxes.h"

#include "app/message_catalogue.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::StandardButton showBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons)
{
    // Catalogue texts break lines with CR LF; a lone CR would show as a blank in a label.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(icon, title, shown, buttons, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    // Enter takes the first button, as the desktop's own boxes do; Escape answers No.
    const bool question = buttons.testFlag(QMessageBox::No);
    box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
    box.setEscapeButton(question ? QMessageBox::No : QMessageBox::Ok);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void showWarning(const QString& text)
{
    showBox(QMessageBox::Warning, message(QStringLiteral("Msg/Warning")), text, QMessageBox::Ok);
}

void showError(const QString& text)
{
    showBox(QMessageBox::Critical, message(QStringLiteral("Msg/Error")), text, QMessageBox::Ok);
}

void showInformation(const QString& title, const QString& text)
{
    showBox(QMessageBox::Information, title, text, QMessageBox::Ok);
}

bool askQuestion(const QString& title, const QString& text)
{
    return showBox(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool askWarning(const QString& text)
{
    return showBox(QMessageBox::Warning, message(QStringLiteral("Msg/Warning")), text,
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
