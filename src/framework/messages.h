#pragma once
#include <QString>
#include <exception>
#include <utility>

class QWidget;

// The plain message box: one OK button, no icon, the application's title.
void showMessage(const QString &text);

// The standard error report: stop icon, the application's title, a full stop appended when missing.
void showError(const QString &text);

enum class Answer { Yes, No, Cancel };
// A question with "Evet", "Hayır" and "İptal"; closing the box cancels.
Answer ask(const QString &text);

// Shows what a caught exception says; Abort stays silent.
void reportException(std::exception_ptr error);

// The boundary every event handler runs behind: no exception crosses into Qt's frames.
template <class F> void guarded(F &&handler)
{
    try {
        std::forward<F>(handler)();
    } catch (...) {
        reportException(std::current_exception());
    }
}
