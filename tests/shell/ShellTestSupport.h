#pragma once
// Helpers of the shell tests: answering modal dialogs that the code under test runs, and the
// set-up of the dialog tests.
#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "editor/EditorItemDialogs.h"
#include "platform/ScriptedPrompts.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <gtest/gtest.h>

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

// Runs the item's EditProperties with `handle` driving the dialog it opens; its result.
template <typename D, typename Item>
bool EditWith(Item &item, std::function<void(D *)> handle)
{
    // Focus is judged once the window system has made the dialog the active window.
    auto seen = OnNextModal<D>([&](D *dialog) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        handle(dialog);
    });
    const bool ok = item.EditProperties();
    EXPECT_TRUE(*seen);
    return ok;
}

// Scripted answers to every prompt while it lives.
struct ScopedPrompts : ScriptedPrompts {
    ScopedPrompts() { Prompts::Register(this); }
    ~ScopedPrompts() { Prompts::Register(nullptr); }
};

// A dialog test's world without the application: scripted prompts, a display-free context whose
// items open the editor's property dialogs, and a new banner in it.
struct DialogFixture {
    DialogFixture()
    {
        context.SetItemDialogs(&itemDialogs);
        doc.OnNewDocument();
    }
    ScopedPrompts prompts;
    CoreContext context;
    EditorItemDialogs itemDialogs;
    CBannerDoc doc{context};
};
} // namespace ShellTest
