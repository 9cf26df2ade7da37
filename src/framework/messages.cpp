#include "messages.h"
#include "errors.h"
#include "quit.h"

#include <QApplication>
#include <QPushButton>
#include <QMessageBox>

namespace {

void showBox(QMessageBox::Icon icon, const QString &text)
{
    // A pending quit request closes every later message box at once.
    if (quitRequested())
        return;
    QMessageBox box(icon, QApplication::applicationName(), text, QMessageBox::Ok);
    box.setObjectName(icon == QMessageBox::Critical ? "ErrorReport" : "MessageBox");
    box.exec();
}

} // namespace

void showMessage(const QString &text)
{
    showBox(QMessageBox::NoIcon, text);
}

void showError(const QString &text)
{
    QString shown = text;
    if (!shown.endsWith('.'))
        shown += '.';
    showBox(QMessageBox::Critical, shown);
}

Answer ask(const QString &text)
{
    if (quitRequested())
        return Answer::Cancel;
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text);
    box.setObjectName(QStringLiteral("Question"));
    QAbstractButton *yes = box.addButton(QStringLiteral("Evet"), QMessageBox::YesRole);
    QAbstractButton *no = box.addButton(QStringLiteral("Hayır"), QMessageBox::NoRole);
    box.addButton(QStringLiteral("İptal"), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    if (box.clickedButton() == no)
        return Answer::No;
    return Answer::Cancel;
}

void reportException(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Abort &) {
    } catch (const Error &e) {
        showError(e.text());
    } catch (const std::bad_alloc &) {
        showError(QStringLiteral("Out of memory"));
    } catch (const std::exception &e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
}
