#pragma once
// Helpers of the shell tests: answering modal dialogs that the code under test runs.
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

namespace ShellTest {
// The dialog's push button with this text, or none.
inline QPushButton *ButtonWithText(QWidget *dialog, const QString &text)
{
    for (QPushButton *b : dialog->findChildren<QPushButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// Arranges for `handle` to run on the next modal dialog of type T (closed with reject
// afterwards if `handle` left it open). The returned flag becomes true once one was seen.
template <typename T>
std::shared_ptr<bool> OnNextModal(std::function<void(T *)> handle, int timeoutMs = 5000)
{
    auto seen = std::make_shared<bool>(false);
    auto *timer = new QTimer(qApp);
    timer->setInterval(10);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            *seen = true;
            handle(dialog);
            if (dialog->isVisible())
                dialog->reject();
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
    return seen;
}
} // namespace ShellTest
